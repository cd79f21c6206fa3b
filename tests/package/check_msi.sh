#!/usr/bin/env bash
# Checks the win32 MSI as Windows Installer reads it: the version of the
# version record, the program's four files and nothing else, and 32-bit code
# throughout, the custom actions' DLL included (Windows Installer runs it in
# a process of its own bitness), importing only system DLLs.
# usage: check_msi.sh DIR NAME VERSION   (NAME: Tandivorex-VERSION[-dirty])
set -u
dir=$1 name=$2 version=$3
msi=$dir/$name-win32.msi
system='^(kernel32|user32|advapi32|shell32|gdi32|comctl32|msvcrt|msi)\.dll$'
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT

[ -f "$msi" ] || { echo "FAIL: $(basename "$msi") is missing"; exit 1; }
shipped=$(msiinfo export "$msi" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductVersion" { print $2 }')
[ "$shipped" = "$version" ] || fail "ProductVersion is '$shipped', not $version"
(cd "$unpacked" && msiextract -C files "$msi" >/dev/null && msiinfo extract "$msi" Binary.MsiActions >msi_actions.dll) ||
    fail "$(basename "$msi") cannot be unpacked"
files=$(cd "$unpacked/files" && find . -type f -printf '%f\n' | sort)
expected=$(printf '%s\n' LICENSE.txt README.txt Tandivorex.exe phonestate.exe | sort)
[ "$files" = "$expected" ] || fail "$(basename "$msi") installs" $files "instead of" $expected
for f in $(find "$unpacked" -name '*.exe' -o -name '*.dll'); do
    i686-w64-mingw32-objdump -f "$f" 2>/dev/null | grep -q 'file format pei-i386$' || fail "$(basename "$f") is not a 32-bit PE"
    for dll in $(i686-w64-mingw32-objdump -p "$f" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z'); do
        [[ $dll =~ $system ]] || [ "$(basename "$f"):$dll" = Tandivorex.exe:qvusbtel.dll ] ||
            fail "$(basename "$f") imports $dll"
    done
done
[ $failures -eq 0 ] && echo "checked $(basename "$msi")"
exit $((failures > 0))
