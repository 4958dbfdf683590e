#!/bin/bash
# The updater driven through its plain front end, as a script or a pipe drives it: the update
# with an install record, the warning without one, and a second instance while one runs.
#   plain_update_test.sh <update program> <reg program>
set -euo pipefail
program=$1
reg=$2
work=$(mktemp -d)
trap 'exec 3>&- 2>/dev/null || true; kill %1 2>/dev/null || true; rm -rf "$work"' EXIT
fail() { echo "FAILED: $*"; for f in "$work"/*.out; do echo "--- $f"; cat "$f"; done; exit 1; }

# A machine with the program in c:\Game and an update folder beside it.
export WINDOWS_ROOT=$work/machine
mkdir -p "$WINDOWS_ROOT/drive_c/Game/VELMORANT" "$WINDOWS_ROOT/drive_c/Installed"
cp "$program" "$WINDOWS_ROOT/drive_c/Game/update"
update=$WINDOWS_ROOT/drive_c/Game/update
echo new > "$WINDOWS_ROOT/drive_c/Game/VELMORANT/zom.pac"
echo old > "$WINDOWS_ROOT/drive_c/Installed/zom.pac"

# Without an install record: the warning, the dialog stays, and the end of input closes it.
printf 'click 1008\nanswer ok\n' | "$update" > "$work/unrecorded.out" || fail "exit code $?"
cat > "$work/unrecorded.expected" <<'END'
dialog 105 "ヴェルモラント Updata"
  1008 button "アップデート" default
  2 button "ｷｬﾝｾﾙ"
  1009 static "ヴェルモラント　を\nアップデートしますか？"
messagebox "確認" "インストールがされてませんでした。\nインストールを行ってからアップデートしてください。" ok
closed 105 2
END
diff "$work/unrecorded.expected" "$work/unrecorded.out" || fail "the warning run"

"$reg" add 'HKLM\SOFTWARE\VANTRE\ヴェルモラント' /v Dir /t REG_SZ /d 'c:\Installed' /f > /dev/null
"$reg" add 'HKLM\SOFTWARE\VANTRE\ヴェルモラント' /v CD /t REG_SZ /d 'q:\VELMORANT' /f > /dev/null
"$reg" add 'HKLM\SOFTWARE\VANTRE\ヴェルモラント' /v InstType /t REG_DWORD /d 2 /f > /dev/null

# A second instance while the first waits for its user ends at once, showing nothing.
mkfifo "$work/input"
"$update" < "$work/input" > "$work/first.out" &
exec 3> "$work/input"
for _ in $(seq 600); do grep -q '^dialog 105' "$work/first.out" && break; sleep 0.1; done
grep -q '^dialog 105' "$work/first.out" || fail "the first instance shows no dialog"
"$update" < /dev/null > "$work/second.out" || fail "the second instance's exit code $?"
[ ! -s "$work/second.out" ] || fail "the second instance showed something"
printf 'click 1008\nanswer ok\n' >&3
exec 3>&-
wait %1 || fail "the first instance's exit code $?"
cat > "$work/first.expected" <<'END'
dialog 105 "ヴェルモラント Updata"
  1008 button "アップデート" default
  2 button "ｷｬﾝｾﾙ"
  1009 static "ヴェルモラント　を\nアップデートしますか？"
messagebox "終了" "アップデートが完了しました。" ok
closed 105 2
END
diff "$work/first.expected" "$work/first.out" || fail "the update run"
[ "$(cat "$WINDOWS_ROOT/drive_c/Installed/zom.pac")" = new ] || fail "zom.pac was not updated"
echo "plain front end: all runs as expected"
