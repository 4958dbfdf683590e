#!/bin/bash
# Plays a user at a terminal: runs a program of the stand-in under tmux in a fresh machine root,
# waits for its dialog, presses Enter, waits for the message box that follows, presses Enter,
# and expects the program to end with exit code 0.
#
# Usage: terminal_test.sh [--setup COMMAND]... PROGRAM DIALOG_TEXT BOX_TEXT
#   --setup  a bash command run before the program, with WINDOWS_ROOT already set (for example
#            the reg tool writing an install record); may be given more than once
set -euo pipefail

usage() {
  sed -n '6,8s/^# \{0,1\}//p' "$0" >&2
  exit 2
}

setups=()
while [ $# -gt 0 ] && [ "$1" = --setup ]; do
  [ $# -ge 2 ] || usage
  setups+=("$2")
  shift 2
done
[ $# -eq 3 ] || usage
program=$(realpath "$1")
dialog_text=$2
box_text=$3

# Long enough for a slow sanitizer build; a program that never shows what is awaited fails.
patience=60
work=$(mktemp -d)
socket="$work/tmux.socket"
tmux_() { tmux -S "$socket" -f /dev/null "$@"; }
cleanup() {
  tmux_ kill-server 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

export WINDOWS_ROOT="$work/machine"
export LANG=C.UTF-8
mkdir -p "$WINDOWS_ROOT"
for setup in "${setups[@]}"; do
  (cd "$work" && bash -c "$setup") || { echo "setup failed: $setup" >&2; exit 1; }
done

# The program's standard error goes to a file: a sanitizer's report stays readable there and
# does not write over the screen.
tmux_ new-session -d -x 100 -y 30 \
  "cd $(printf %q "$work") && env LANG=C.UTF-8 WINDOWS_ROOT=$(printf %q "$WINDOWS_ROOT") \
   $(printf %q "$program") 2>stderr; echo \$? >exit-code.part && mv exit-code.part exit-code"

fail() {
  echo "FAILED: $*" >&2
  echo "--- screen:" >&2
  tmux_ capture-pane -p >&2 2>/dev/null || echo "(the session has ended)" >&2
  echo "--- standard error:" >&2
  cat "$work/stderr" >&2 2>/dev/null || true
  exit 1
}

deadline=$((SECONDS + patience))

wait_for_screen() {
  until tmux_ capture-pane -p 2>/dev/null | grep -qF -- "$1"; do
    [ -e "$work/exit-code" ] && fail "the program ended (exit code $(cat "$work/exit-code")) before showing \"$1\""
    [ $SECONDS -lt $deadline ] || fail "\"$1\" did not appear within ${patience} s"
    sleep 0.1
  done
}

wait_for_screen "$dialog_text"
tmux_ send-keys Enter
wait_for_screen "$box_text"
tmux_ send-keys Enter

until [ -e "$work/exit-code" ]; do
  [ $SECONDS -lt $deadline ] || fail "the program did not end within ${patience} s"
  sleep 0.1
done
code=$(cat "$work/exit-code")
[ "$code" = 0 ] || fail "exit code $code"
echo "passed: \"$dialog_text\", then \"$box_text\", then exit code 0"
