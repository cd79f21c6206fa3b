#!/usr/bin/env bash
# Checks one build's binaries as a Windows loader would see them:
#   Tandivorex.exe imports only system DLLs and QVUSBTEL.dll (no compiler
#   runtime DLL to ship), and QV_DeviceIoControl crosses the DLL boundary by
#   its undecorated name on both sides, so the maker's DLL can replace ours,
#   and so can the HID edition of the library (BIN_DIR/../hid/QVUSBTEL.dll).
#   The exe stays within MAX_BYTES and is marked terminal-server aware; the
#   MSI's custom actions, msi_actions.dll, within ACTIONS_MAX_BYTES. On
#   32-bit, where a calling-convention mismatch corrupts the stack and 64-bit
#   cannot show it, both sides of the handset interface clean their own
#   arguments: the callback returns with
#   "ret $0xc" (found through the linker map, the exe being stripped), each
#   DLL's entry point with "ret $0x18" (found through its export table).
# usage: check_binaries.sh BIN_DIR OBJDUMP MAX_BYTES ACTIONS_MAX_BYTES
set -u
bin=$1 objdump=$2 max_bytes=$3 actions_max_bytes=$4
allowed='^(kernel32|user32|advapi32|shell32|gdi32|msvcrt|comctl32|comdlg32|ole32|oleaut32|version|qvusbtel)\.dll$'
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

exe=$bin/Tandivorex.exe actions=$bin/msi_actions.dll
dlls="$bin/QVUSBTEL.dll $bin/../hid/QVUSBTEL.dll"
for f in "$exe" $dlls "$actions"; do
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

for dll in $dlls; do
    exports=$("$objdump" -p "$dll" | awk '/\[Ordinal\/Name Pointer\] Table/ { t = 1; next } t && NF == 0 { t = 0 } t { print $NF }')
    [ "$exports" = "QV_DeviceIoControl" ] || fail "$dll exports '$exports', expected exactly QV_DeviceIoControl"
done

# Without the mark Windows runs it under Remote Desktop's compatibility shims.
"$objdump" -p "$exe" | grep -q 'TERMINAL_SERVICE_AWARE' || fail "Tandivorex.exe is not marked terminal-server aware"

size=$(stat -c %s "$exe")
[ "$size" -le "$max_bytes" ] || fail "Tandivorex.exe is $size bytes, more than $max_bytes"
actions_size=$(stat -c %s "$actions")
[ "$actions_size" -le "$actions_max_bytes" ] ||
    fail "msi_actions.dll is $actions_size bytes, more than $actions_max_bytes: is the C++ runtime back in it?"

# The return instructions between two addresses of an image.
rets() { "$objdump" -d --start-address="$2" --stop-address="$3" "$1" | grep -oE '\bret[lq]? *(\$0x[0-9a-f]+)?' | tr -d ' '; }
if "$objdump" -f "$exe" | grep -q 'file format pei-i386'; then
    read -r start length < <(awk '/^ \.text\$_Z15HandsetCallbackiiPv/ { getline; print $1, $2 }' "$bin/../Tandivorex.map")
    [ -n "$start" ] || fail "HandsetCallback is not in the linker map"
    cb_rets=$(rets "$exe" "$start" $((start + length)) | sort -u)
    [ "$cb_rets" = 'ret$0xc' ] || fail "HandsetCallback returns with '$cb_rets', expected ret \$0xc only"
    for dll in $dlls; do
        base=$("$objdump" -p "$dll" | awk '/^ImageBase/ { print "0x" $2 }')
        rva=$("$objdump" -p "$dll" | awk '/Export RVA/ { print "0x" $(NF - 2); exit }')
        entry=$((base + rva))
        qv_ret=$(rets "$dll" "$entry" $((entry + 4096)) | head -n 1)
        [ "$qv_ret" = 'ret$0x18' ] || fail "$dll: QV_DeviceIoControl first returns with '$qv_ret', expected ret \$0x18"
    done
fi

echo "checked $exe ($size bytes, msi_actions.dll $actions_size): imports $(echo $imports | tr '\n' ' ')${exe_qv:+, handset entry $exe_qv}"
exit $((failures > 0))
