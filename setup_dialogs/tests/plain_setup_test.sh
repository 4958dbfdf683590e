#!/bin/bash
# The setup program driven through its plain front end by a script that answers each event as
# it comes: an install from the CD-ROM in q:, then an uninstall.
#   plain_setup_test.sh <setup program> <reg program>
set -euo pipefail
program=$1
reg=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*"; [ -f "$work/events" ] && cat "$work/events"; exit 1; }

export WINDOWS_ROOT=$work/machine
mkdir -p "$WINDOWS_ROOT/drive_c/Setup"
"$reg" query 'HKLM\SOFTWARE' > /dev/null 2>&1 || true  # makes the machine root
printf 'c: fixed "" drive_c\nq: cdrom VELMORANT cdrom\n' > "$WINDOWS_ROOT/drives"
echo 'freespace c: 100000' > "$WINDOWS_ROOT/settings"
disc=$WINDOWS_ROOT/cdrom/VELMORANT
mkdir -p "$disc"
files=(velmorant.exe zom.pac tuv.pac yk.pac fob.pac hep.pac wix.pac ogg.dll vorbis.dll vorbisfile.dll
  readme.txt uninst.exe Pzom.pac Qzom.pac Rzom.pac Szom.pac Setting.exe Rzom.zip)
for name in "${files[@]}"; do head -c $((70000 + ${#name} * 1000)) /dev/urandom > "$disc/$name"; done
cp "$program" "$WINDOWS_ROOT/drive_c/Setup/setup"

# Runs the setup, answering each event line it prints by the first rule that matches it:
# "<pattern>=<command>" (a pattern of grep -E; the command is written back). Stops at "closed 106".
run_setup() {
  : > "$work/events"
  coproc SETUP { "$WINDOWS_ROOT/drive_c/Setup/setup" 2>>"$work/stderr"; }
  # Kept apart: bash forgets the coprocess's descriptors once it ends.
  local from=${SETUP[0]} to=${SETUP[1]} pid=$SETUP_PID line rule
  while IFS= read -r -t 120 line <&"$from"; do
    echo "$line" >> "$work/events"
    for rule in "$@"; do
      if echo "$line" | grep -qE -- "${rule%%=*}"; then echo "${rule#*=}" >&"$to"; break; fi
    done
    [[ $line == "closed 106 "* ]] && break
  done
  exec {to}>&-
  wait "$pid" || fail "setup ended with $?"
}

installed="$WINDOWS_ROOT/drive_c/Program Files/VANTRE/VELMORANT"
programs="$WINDOWS_ROOT/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
key='HKLM\SOFTWARE\VANTRE\ヴェルモラント'

run_setup '^dialog 106 =click 1000' '^dialog 109 =click 1015' '^text 1011 "3570M byte"$=click 1012' 'フォルダを作成します.*yesno$=answer yes' \
  '^messagebox "終了" "インストールが完了しました。" ok$=answer ok' '^text 1000 "インストール"$=click 2'
grep -q '^progress 1005 1000 1000$' "$work/events" || fail "the bar did not reach its end"
for name in "${files[@]}"; do cmp -s "$disc/$name" "$installed/$name" || fail "$name differs from the disc's"; done
"$reg" query "$key" > "$work/record" || fail "no install record"
grep -qE 'Dir +REG_SZ +c:\\Program Files\\VANTRE\\VELMORANT$' "$work/record" || fail "Dir: $(cat "$work/record")"
grep -qE 'CD +REG_SZ +q:\\VELMORANT$' "$work/record" || fail "CD: $(cat "$work/record")"
grep -qE 'InstType +REG_DWORD +0x2$' "$work/record" || fail "InstType: $(cat "$work/record")"
for link in ヴェルモラント README アンインストール; do
  [ -f "$programs/VANTRE/ヴェルモラント/$link.lnk" ] || fail "no shortcut $link"
done
lnkinfo "$programs/VANTRE/ヴェルモラント/README.lnk" > "$work/readme.lnk.txt" || fail "lnkinfo cannot read README.lnk"
grep -qiE 'Local path[[:space:]]+: c:\\Program Files\\VANTRE\\VELMORANT\\readme\.txt$' "$work/readme.lnk.txt" &&
  grep -qiE 'Working directory[[:space:]]+: c:\\Program Files\\VANTRE\\VELMORANT$' "$work/readme.lnk.txt" ||
  fail "README.lnk has another target: $(cat "$work/readme.lnk.txt")"

run_setup '^dialog 106 =click 1014' 'アンインストールを開始します.*yesno$=answer yes' \
  '^messagebox "終了" "アンインストールが完了しました。" ok$=answer ok' '^state 1014 disabled$=click 2'
for name in "${files[@]}"; do [ ! -e "$installed/$name" ] || fail "$name is still installed"; done
[ -d "$installed" ] || fail "the install folder went too"
[ ! -e "$programs/VANTRE" ] || fail "the Start-menu folders are still there"
if "$reg" query "$key" > /dev/null 2>&1; then fail "the install record is still there"; fi
echo "plain setup: installed from the disc and uninstalled again"
