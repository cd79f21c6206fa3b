#!/usr/bin/env bash
# Checks the win32 release packages as a Windows user gets them: each zip
# holds its files and nothing else, the HID download the HID edition of
# QVUSBTEL.dll (it reads the device through hid.dll) and the simulator the
# stand-in; the MSI has the version record's version and installs the
# program's four files, and the HID edition's library only on HANDSET=HID,
# with custom actions of the types its source asks for and per-user authoring
# that Windows' validation accepts (check_msi_tables.py); and every exe and
# DLL, the MSI's custom actions included (Windows Installer runs them in a
# process of their own bitness), is a 32-bit PE importing only system DLLs
# (and QVUSBTEL.dll, for the program; hid.dll and SetupAPI, for the HID
# edition): no compiler runtime to ship.
# usage: check_packages.sh DIR NAME VERSION   (NAME: Tandivorex-VERSION[-dirty])
set -u
dir=$1 name=$2 version=$3
system='^(kernel32|user32|advapi32|shell32|gdi32|comctl32|msvcrt|msi)\.dll$'
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT

check_binaries() { # PACKAGE: the exes and DLLs unpacked from it
    local f dll
    for f in $(find "$unpacked" -name '*.exe' -o -name '*.dll'); do
        i686-w64-mingw32-objdump -f "$f" 2>/dev/null | grep -q 'file format pei-i386$' || fail "$1: $(basename "$f") is not a 32-bit PE"
        for dll in $(i686-w64-mingw32-objdump -p "$f" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z'); do
            [[ $dll =~ $system ]] || [ "$(basename "$f"):$dll" = Tandivorex.exe:qvusbtel.dll ] ||
                [[ $(basename "$f"):$dll =~ ^QVUSBTEL\.dll:(hid|setupapi)\.dll$ ]] ||
                fail "$1: $(basename "$f") imports $dll"
        done
    done
}

check_edition() { # PACKAGE yes|no: whether the QVUSBTEL.dll unpacked from it is the HID edition
    local f
    f=$(find "$unpacked" -name QVUSBTEL.dll | head -1)
    if i686-w64-mingw32-objdump -p "$f" 2>/dev/null | grep -qi 'DLL Name: hid\.dll'; then
        [ "$2" = yes ] || fail "$1: QVUSBTEL.dll is the HID edition"
    else
        [ "$2" = no ] || fail "$1: QVUSBTEL.dll is not the HID edition"
    fi
}

check_zip() { # ZIP FILE...
    local zip=$dir/$1 files
    [ -f "$zip" ] || { fail "$1 is missing"; return; }
    files=$(printf '%s\n' "${@:2}" | sort)
    [ "$(unzip -Z1 "$zip" | sort)" = "$files" ] || fail "$1 holds" $(unzip -Z1 "$zip") "instead of" $files
    rm -rf "${unpacked:?}"/*
    unzip -q "$zip" -d "$unpacked"
    check_binaries "$1"
}

check_msi() { # MSI FILE...
    local msi=$dir/$1 files shipped component condition
    [ -f "$msi" ] || { fail "$1 is missing"; return; }
    shipped=$(msiinfo export "$msi" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductVersion" { print $2 }')
    [ "$shipped" = "$version" ] || fail "$1: ProductVersion is '$shipped', not $version"
    rm -rf "${unpacked:?}"/*
    (cd "$unpacked" && msiextract -C files "$msi" >/dev/null &&
        msiinfo extract "$msi" Binary.MsiActions >msi_actions.dll) || fail "$1 cannot be unpacked"
    files=$(printf '%s\n' "${@:2}" | sort)
    [ "$(find "$unpacked/files" -type f -printf '%f\n' | sort)" = "$files" ] ||
        fail "$1 installs" $(find "$unpacked/files" -type f -printf '%f ') "instead of" $files
    check_binaries "$1"
    python3 "$(dirname "$0")/check_msi_tables.py" "$msi" || failures=$((failures + 1))
    check_edition "$1" yes
    # Never beside the program unasked: the library's component has a condition on HANDSET.
    component=$(msiinfo export "$msi" File | tr -d '\r' | awk -F'\t' '$3 ~ /(^|\|)QVUSBTEL\.dll$/ { print $2 }')
    condition=$(msiinfo export "$msi" Component | tr -d '\r' | awk -F'\t' -v c="$component" '$1 == c { print $5 }')
    [[ -n $component && $condition == *HANDSET* ]] ||
        fail "$1 installs QVUSBTEL.dll ${component:-(no component)} on the condition '$condition', not on HANDSET"
}

check_zip "$name-win32.zip" Tandivorex.exe phonestate.exe README.txt LICENSE.txt
check_zip "$name-hid-win32.zip" Tandivorex.exe phonestate.exe QVUSBTEL.dll README.txt LICENSE.txt
check_edition "$name-hid-win32.zip" yes
check_zip "$name-simulator-win32.zip" handset-sim.exe handset-panel.exe QVUSBTEL.dll softphone.exe README.txt LICENSE.txt
check_edition "$name-simulator-win32.zip" no
check_msi "$name-win32.msi" Tandivorex.exe phonestate.exe QVUSBTEL.dll README.txt LICENSE.txt
[ $failures -eq 0 ] && echo "checked $name-win32.zip, $name-hid-win32.zip, $name-simulator-win32.zip and $name-win32.msi"
exit $((failures > 0))
