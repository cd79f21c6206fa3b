#!/usr/bin/env bash
# Checks one build's binaries as a Windows loader would see them:
#   Tandivorex.exe imports only system DLLs and QVUSBTEL.dll (no compiler
#   runtime DLL to ship), and QV_DeviceIoControl crosses the DLL boundary by
#   its undecorated name on both sides, so the maker's DLL can replace ours.
# usage: check_binaries.sh BIN_DIR OBJDUMP
set -u
bin=$1 objdump=$2
allowed='^(kernel32|user32|advapi32|shell32|gdi32|msvcrt|comctl32|comdlg32|ole32|oleaut32|version|qvusbtel)\.dll$'
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

exe=$bin/Tandivorex.exe dll=$bin/QVUSBTEL.dll
for f in "$exe" "$dll"; do
    [ -f "$f" ] || { echo "FAIL: $f is missing (build it first)"; exit 1; }
done

imports=$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p')
[ -n "$imports" ] || fail "no imports found in $exe"
for dll_name in $imports; do
    lower=$(echo "$dll_name" | tr 'A-Z' 'a-z')
    [[ $lower =~ $allowed ]] || fail "Tandivorex.exe imports $dll_name"
done

# The exe's import of the handset library, by name.
exe_qv=$("$objdump" -p "$exe" | awk '/DLL Name:/ { inqv = tolower($3) == "qvusbtel.dll" } inqv && /QV_/ { print $NF }')
if [ -n "$exe_qv" ] && [ "$exe_qv" != "QV_DeviceIoControl" ]; then
    fail "Tandivorex.exe imports '$exe_qv' instead of QV_DeviceIoControl"
fi

exports=$("$objdump" -p "$dll" | awk '/\[Ordinal\/Name Pointer\] Table/ { t = 1; next } t && NF == 0 { t = 0 } t { print $NF }')
[ "$exports" = "QV_DeviceIoControl" ] || fail "QVUSBTEL.dll exports '$exports', expected exactly QV_DeviceIoControl"

echo "checked $exe: imports $(echo $imports | tr '\n' ' ')${exe_qv:+, handset entry $exe_qv}"
exit $((failures > 0))
