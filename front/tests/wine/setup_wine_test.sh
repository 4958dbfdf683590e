#!/bin/bash
# setup.exe under Wine, driven from another Windows process (update_driver.exe) as a user would:
# an install from a CD-ROM drive of the prefix through the component dialog, with the shortcuts
# written by Windows' own shell, then an uninstall that takes everything away again.
#   setup_wine_test.sh <wine-run> <wine folder> <setup.exe> <update_driver.exe>
set -euo pipefail
wine_run=$1
folder=$2
program=$3
driver=$4
run() { "$wine_run" "$folder" "$@"; }
eval "$(run --env)"
drive_c=$WINEPREFIX/drive_c
work=$folder/setup_wine_test
cdrom=$folder/setup_cdrom
installed="$drive_c/Program Files/VANTRE/VELMORANT"
programs="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
key='HKLM\SOFTWARE\VANTRE\ヴェルモラント'
cleanup() {
  rm -rf "$cdrom" "$drive_c/Setup" "$drive_c/Program Files/VANTRE" "$programs/VANTRE" "$WINEPREFIX/dosdevices/e:"
  run reg delete 'HKLM\Software\Wine\Drives' /v e: /f > /dev/null 2>&1 || true
  run reg delete 'HKLM\SOFTWARE\VANTRE' /f > /dev/null 2>&1 || true
}
trap 'cleanup; run --restart' EXIT
fail() { echo "FAILED: $*"; for f in "$work"/*.out; do [ -e "$f" ] && { echo "--- $f"; cat "$f"; }; done; exit 1; }
drive() { run "$driver" 'C:\Setup\setup.exe' "$@" | iconv -f CP932 -t UTF-8 | tr -d '\r'; }

cleanup
rm -rf "$work"
mkdir -p "$work" "$drive_c/Setup" "$cdrom/VELMORANT"
cp "$program" "$drive_c/Setup/setup.exe"
files=(velmorant.exe zom.pac tuv.pac yk.pac fob.pac hep.pac wix.pac ogg.dll vorbis.dll vorbisfile.dll
  readme.txt uninst.exe Pzom.pac Qzom.pac Rzom.pac Szom.pac Setting.exe Rzom.zip)
for name in "${files[@]}"; do head -c $((50000 + ${#name} * 1000)) /dev/urandom > "$cdrom/VELMORANT/$name"; done
# The disc: drive e: of type cdrom labelled VELMORANT, read when the server starts.
echo VELMORANT > "$cdrom/.windows-label"
ln -sfn "$cdrom" "$WINEPREFIX/dosdevices/e:"
run reg add 'HKLM\Software\Wine\Drives' /v e: /t REG_SZ /d cdrom /f > /dev/null
run --restart

# Install: the component dialog (install type 2, then OK), the folder question, the completion;
# the program closes once the install thread has given the Install button its label back.
drive start click 1000 choose 1015 1012 box 6 box 1 text 1000 インストール click 2 exit \
  > "$work/install.out" || fail "the driver stopped"
grep -qx 'components "インストールする項目の選択"' "$work/install.out" || fail "no component dialog"
grep -qx 'messagebox "確認" "c:\\Program Files\\VANTRE\\VELMORANT\\nフォルダを作成します。\\nよろしいですか？"' \
  "$work/install.out" || fail "no folder question"
grep -qx 'messagebox "終了" "インストールが完了しました。"' "$work/install.out" || fail "no completion"
grep -qx 'exit 0' "$work/install.out" || fail "the install run did not end with 0"
for name in "${files[@]}"; do cmp -s "$cdrom/VELMORANT/$name" "$installed/$name" || fail "$name differs from the disc's"; done
run reg query "$key" | tr -d '\r' > "$work/record.out"
grep -qE 'Dir +REG_SZ +c:\\Program Files\\VANTRE\\VELMORANT$' "$work/record.out" || fail "the record's Dir"
grep -qE 'CD +REG_SZ +e:\\VELMORANT$' "$work/record.out" || fail "the record's CD: the disc was not the source"
grep -qE 'InstType +REG_DWORD +0x2$' "$work/record.out" || fail "the record's InstType"
for link in ヴェルモラント README アンインストール; do
  [ -s "$programs/VANTRE/ヴェルモラント/$link.lnk" ] || fail "no shortcut $link"
done

# Uninstall: the question, the completion, then the close.
drive start click 1014 box 6 box 1 click 2 exit > "$work/uninstall.out" || fail "the driver stopped"
grep -qx 'messagebox "終了" "アンインストールが完了しました。"' "$work/uninstall.out" || fail "no uninstall completion"
grep -qx 'exit 0' "$work/uninstall.out" || fail "the uninstall run did not end with 0"
for name in "${files[@]}"; do [ ! -e "$installed/$name" ] || fail "$name is still installed"; done
[ ! -e "$programs/VANTRE" ] || fail "the Start-menu folders are still there"
if run reg query "$key" > /dev/null 2>&1; then fail "the install record is still there"; fi
echo "setup.exe under Wine: installed from the disc and uninstalled again"
