#!/bin/bash
# update.exe under Wine, driven from another Windows process (update_driver.exe) as a user would:
# the update with an install record and a second instance meanwhile, the warning without a
# record, and the source search with a CD-ROM drive that Wine plays (through source_probe.exe,
# which starts the engine as update.exe does: update.exe itself never shows where it looked).
#   update_wine_test.sh <wine-run> <wine folder> <update.exe> <update_driver.exe> <source_probe.exe>
set -euo pipefail
wine_run=$1
folder=$2
program=$3
driver=$4
probe=$5
run() { "$wine_run" "$folder" "$@"; }
eval "$(run --env)"
drive_c=$WINEPREFIX/drive_c
work=$folder/update_wine_test
cdrom=$folder/cdrom
cleanup() {
  rm -rf "$cdrom" "$drive_c/Game" "$drive_c/Installed" "$WINEPREFIX/dosdevices/e:"
  run reg delete 'HKLM\Software\Wine\Drives' /v e: /f > /dev/null 2>&1 || true
  run reg delete 'HKLM\SOFTWARE\VANTRE' /f > /dev/null 2>&1 || true
}
trap cleanup EXIT
fail() { echo "FAILED: $*"; for f in "$work"/*.out; do [ -e "$f" ] && { echo "--- $f"; cat "$f"; }; done; exit 1; }
# The driver's reports are code page 932 with CRLF line ends.
drive() { run "$driver" 'C:\Game\update.exe' "$@" | iconv -f CP932 -t UTF-8 | tr -d '\r'; }
restart_server() { run --restart; }

cleanup
rm -rf "$work"
mkdir -p "$work" "$drive_c/Game/VELMORANT" "$drive_c/Installed"
cp "$program" "$drive_c/Game/update.exe"
cp "$probe" "$drive_c/Game/source_probe.exe"
printf 'new zom %.0s' $(seq 20000) > "$drive_c/Game/VELMORANT/zom.pac"
echo "new wix 6" > "$drive_c/Game/VELMORANT/wix_6.pac"
echo "not listed" > "$drive_c/Game/VELMORANT/stranger.pac"
touch -d '2020-01-02 03:04:05' "$drive_c/Game/VELMORANT/zom.pac"
touch -d '2021-06-07 08:09:10' "$drive_c/Game/VELMORANT/wix_6.pac"
echo "old zom" > "$drive_c/Installed/zom.pac"
echo "old yk" > "$drive_c/Installed/yk.pac"

# Without an install record: the warning, the dialog stays, Cancel ends with 0.
drive start click 1008 box 1 dialog click 1008 box 1 dialog click 2 exit > "$work/unrecorded.out" ||
  fail "the driver stopped"
cat > "$work/unrecorded.expected" <<'END'
dialog "ヴェルモラント Updata"
  1008 "アップデート"
  2 "ｷｬﾝｾﾙ"
  1009 "ヴェルモラント　を\nアップデートしますか？"
messagebox "確認" "インストールがされてませんでした。\nインストールを行ってからアップデートしてください。"
dialog open
messagebox "確認" "インストールがされてませんでした。\nインストールを行ってからアップデートしてください。"
dialog open
exit 0
END
diff "$work/unrecorded.expected" "$work/unrecorded.out" || fail "the run without a record"
[ "$(cat "$drive_c/Installed/zom.pac")" = "old zom" ] || fail "zom.pac changed without a record"

# The install record, as the 64-bit program reads it (no WOW6432Node for it).
key='HKLM\SOFTWARE\VANTRE\ヴェルモラント'
run reg add "$key" /v Dir /t REG_SZ /d 'C:\Installed' /f > /dev/null
run reg add "$key" /v CD /t REG_SZ /d 'q:\VELMORANT' /f > /dev/null
run reg add "$key" /v InstType /t REG_DWORD /d 2 /f > /dev/null

# With the record: a second instance while the first waits ends at once with 0; Update replaces
# the listed files, a read-only hidden one too, and the completion closes the program with 0.
drive attributes 'C:\Installed\zom.pac' 3 start second click 1008 box 1 exit \
  stat 'C:\Installed\zom.pac' stat 'C:\Game\VELMORANT\zom.pac' \
  stat 'C:\Installed\wix_6.pac' stat 'C:\Game\VELMORANT\wix_6.pac' stat 'C:\Installed\stranger.pac' \
  > "$work/update.out" || fail "the driver stopped"
cat > "$work/update.expected" <<'END'
dialog "ヴェルモラント Updata"
  1008 "アップデート"
  2 "ｷｬﾝｾﾙ"
  1009 "ヴェルモラント　を\nアップデートしますか？"
second exit 0
messagebox "終了" "アップデートが完了しました。"
exit 0
END
head -7 "$work/update.out" | diff "$work/update.expected" - || fail "the update run"
stats=$(tail -n +8 "$work/update.out")
line() { sed -n "$1p" <<< "$stats"; }
# Normal: neither read-only, hidden nor system. Wine shows every file as ARCHIVE (0x20) where
# Windows would answer NORMAL (0x80) alone.
normal='attributes 0x(20|80) size'
[[ "$(line 1)" =~ $normal ]] || fail "zom.pac is not left with normal attributes: $(line 1)"
[[ "$(line 3)" =~ $normal ]] || fail "wix_6.pac is not left with normal attributes: $(line 3)"
[ "$(line 1 | sed 's/.*size//')" = "$(line 2 | sed 's/.*size//')" ] || fail "zom.pac: $(line 1) / $(line 2)"
[ "$(line 3 | sed 's/.*size//')" = "$(line 4 | sed 's/.*size//')" ] || fail "wix_6.pac: $(line 3) / $(line 4)"
[ "$(line 5)" = 'C:\Installed\stranger.pac: missing' ] || fail "an unlisted file arrived"
cmp "$drive_c/Game/VELMORANT/zom.pac" "$drive_c/Installed/zom.pac" || fail "zom.pac content"
cmp "$drive_c/Game/VELMORANT/wix_6.pac" "$drive_c/Installed/wix_6.pac" || fail "wix_6.pac content"
[ "$(cat "$drive_c/Installed/yk.pac")" = "old yk" ] || fail "yk.pac changed"
[ "$(stat -c %Y "$drive_c/Installed/zom.pac")" = "$(date -d '2020-01-02 03:04:05' +%s)" ] ||
  fail "zom.pac's last write time on the host"

# The source search: a CD-ROM drive e: labelled VELMORANT holding VELMORANT\velmorant.exe. Wine
# takes the drive's type from its registry and its label from .windows-label, read when its
# server starts. Without the install record, whose CD value would take the search's place.
run reg delete 'HKLM\SOFTWARE\VANTRE' /f > /dev/null
mkdir -p "$cdrom/VELMORANT"
echo VELMORANT > "$cdrom/.windows-label"
ln -sfn "$cdrom" "$WINEPREFIX/dosdevices/e:"
run reg add 'HKLM\Software\Wine\Drives' /v e: /t REG_SZ /d cdrom /f > /dev/null
restart_server
# Wine tells on its standard error that z: (the host's root) has no volume label.
probe() { run 'C:\Game\source_probe.exe' 2>> "$work/probe.log" | tr -d '\r'; }
[ "$(probe)" = 'source C:\Game\VELMORANT' ] || fail "a disc without velmorant.exe was taken: $(probe)"
touch "$cdrom/VELMORANT/velmorant.exe"
[ "$(probe)" = 'source e:\VELMORANT' ] || fail "the labelled disc was not found: $(probe)"
echo OTHER > "$cdrom/.windows-label"
restart_server
[ "$(probe)" = 'source C:\Game\VELMORANT' ] || fail "a disc of another label was taken: $(probe)"
rm -f "$WINEPREFIX/dosdevices/e:"
run reg delete 'HKLM\Software\Wine\Drives' /v e: /f > /dev/null
restart_server
echo "update.exe under Wine: all runs as expected"
