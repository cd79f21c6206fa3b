#!/usr/bin/env bash
# Checks the win32 release zips as a Windows user gets them: each holds its
# files and nothing else, and every exe and DLL is a 32-bit PE importing only
# system DLLs (and QVUSBTEL.dll, for the program): no compiler runtime to ship.
# usage: check_zips.sh DIR NAME   (NAME: Tandivorex-VERSION[-dirty])
set -u
dir=$1 name=$2
system='^(kernel32|user32|advapi32|shell32|gdi32|comctl32|msvcrt)\.dll$'
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT

check() { # ZIP FILE...
    local zip=$dir/$1 files f dll
    [ -f "$zip" ] || { fail "$1 is missing"; return; }
    files=$(printf '%s\n' "${@:2}" | sort)
    [ "$(unzip -Z1 "$zip" | sort)" = "$files" ] || fail "$1 holds" $(unzip -Z1 "$zip") "instead of" $files
    rm -rf "${unpacked:?}"/*
    unzip -q "$zip" -d "$unpacked"
    for f in "$unpacked"/*.exe "$unpacked"/*.dll; do
        [ -f "$f" ] || continue
        i686-w64-mingw32-objdump -f "$f" 2>/dev/null | grep -q 'file format pei-i386$' || fail "$1: $(basename "$f") is not a 32-bit PE"
        for dll in $(i686-w64-mingw32-objdump -p "$f" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z'); do
            [[ $dll =~ $system ]] || [ "$(basename "$f"):$dll" = Tandivorex.exe:qvusbtel.dll ] ||
                fail "$1: $(basename "$f") imports $dll"
        done
    done
}

check "$name-win32.zip" Tandivorex.exe phonestate.exe README.txt LICENSE.txt
check "$name-simulator-win32.zip" handset-sim.exe handset-panel.exe QVUSBTEL.dll softphone.exe README.txt LICENSE.txt
[ $failures -eq 0 ] && echo "checked $name-win32.zip and $name-simulator-win32.zip"
exit $((failures > 0))
