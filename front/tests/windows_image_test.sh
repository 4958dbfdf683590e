#!/bin/bash
# The built Windows program as a file: its format, a GUI subsystem, only system DLLs imported, and
# exactly the resources that front/resources/update.rc compiles to.
#   windows_image_test.sh <update.exe> <pei-i386|pei-x86-64> <objdump> <windres> <update.rc>
set -euo pipefail
program=$1
format=$2
objdump=$3
windres=$4
rc=$5
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*"; exit 1; }

"$objdump" -p "$program" > "$work/headers"
grep -q "file format $format\$" "$work/headers" || fail "not $format: $(grep 'file format' "$work/headers")"
case $format in
  pei-i386) magic='010b	(PE32)' ;;
  *) magic='020b	(PE32+)' ;;
esac
grep -qF "Magic			$magic" "$work/headers" || fail "wrong optional header: $(grep Magic "$work/headers")"
grep -qE '^Subsystem[[:space:]]+00000002[[:space:]]+\(Windows GUI\)$' "$work/headers" ||
  fail "not a GUI program: $(grep ^Subsystem "$work/headers")"

# Only DLLs that every Windows has: the C and C++ runtimes are linked in.
system_dlls='^(ADVAPI32|COMCTL32|GDI32|KERNEL32|msvcrt|SHELL32|USER32|WINMM|ole32)\.(dll|DLL)$'
sed -n 's/^[[:space:]]*DLL Name: //p' "$work/headers" > "$work/dlls"
grep -q . "$work/dlls" || fail "no imports found"
if grep -vE "$system_dlls" "$work/dlls"; then fail "imports DLLs that are not the system's"; fi
for dll in KERNEL32 USER32 GDI32 ADVAPI32; do grep -qx "$dll.dll" "$work/dlls" || fail "no $dll.dll"; done

# The resources: a PE keeps no memory flags, everything else must be the .rc's.
strip_flags() { sed -E 's/ (MOVEABLE|PURE|DISCARDABLE|PRELOAD|FIXED|IMPURE|LOADONCALL)//g' "$1"; }
"$windres" -i "$program" -O rc -o "$work/program.rc"
"$windres" -I "$(dirname "$rc")" -i "$rc" -O rc -o "$work/compiled.rc"
strip_flags "$work/program.rc" > "$work/program.flat"
strip_flags "$work/compiled.rc" > "$work/compiled.flat"
diff "$work/compiled.flat" "$work/program.flat" || fail "the program's resources differ from the .rc's"
for resource in '^105 DIALOG 0, 0, 187, 51$' '^104 14 /\* RT_GROUP_ICON \*/$' '^1 3 /\* RT_ICON \*/$' \
  '^1 VERSIONINFO$' '^1 24 /\* RT_MANIFEST \*/$' 'VALUE "OriginalFilename", "update.exe"'; do
  grep -qE "$resource" "$work/program.flat" || fail "no resource line matching $resource"
done
echo "$program: $format GUI program importing $(tr '\n' ' ' < "$work/dlls")with the .rc's resources"
