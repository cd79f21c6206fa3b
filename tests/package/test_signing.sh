#!/usr/bin/env bash
# scripts/package --sign with a throwaway self-signed certificate: every exe
# and DLL of every zip, the custom actions' DLL inside each MSI and the MSIs
# themselves verify against it, with SHA-256, and a changed byte fails. A
# missing certificate or a wrong password fails plainly before anything is
# built, leaving the output folder as it was.
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Tandivorex test signer" \
    -addext extendedKeyUsage=codeSigning -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null &&
openssl pkcs12 -export -in "$work/cert.pem" -inkey "$work/key.pem" -out "$work/cert.pfx" \
    -passout pass:throwaway || { echo "FAIL: no certificate made"; exit 1; }

verify() { # FILE: prints osslsigncode's verdict; true when it accepts FILE
    osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >"$work/verify.log" 2>&1 &&
        grep -q 'Message digest algorithm *: SHA256' "$work/verify.log"
}

# Bad input first: the folder holds an earlier package, which must stay.
mkdir "$work/dist" && echo earlier >"$work/dist/SHA256SUMS"
for case in missing wrong; do
    cert=$work/cert.pfx password=throwaway
    [ $case = missing ] && cert=$work/none.pfx
    [ $case = wrong ] && password=not-it
    if out=$(TANDIVOREX_SIGN_PASSWORD=$password "$root/scripts/package" --allow-dirty --dist "$work/dist" \
             --sign "$cert" 2>&1); then
        fail "a $case certificate was accepted"
    fi
    [ "$(ls "$work/dist")" = SHA256SUMS ] && [ "$(cat "$work/dist/SHA256SUMS")" = earlier ] ||
        fail "a $case certificate changed the output folder"
    case $out in
        package:*certificate*|package:*password*) ;;
        *) fail "a $case certificate gave: $out" ;;
    esac
done

rm -rf "$work/dist"
TANDIVOREX_SIGN_PASSWORD=throwaway "$root/scripts/package" --allow-dirty --dist "$work/dist" \
    --sign "$work/cert.pfx" >"$work/package.log" 2>&1 || { cat "$work/package.log"; echo "FAIL: signed packaging"; exit 1; }
mkdir "$work/files"
for zip in "$work"/dist/*.zip; do
    unzip -q "$zip" -d "$work/files/$(basename "$zip" .zip)"
done
for msi in "$work"/dist/*.msi; do
    mkdir -p "$work/files/$(basename "$msi")"
    msiinfo extract "$msi" Binary.MsiActions >"$work/files/$(basename "$msi")/msi_actions.dll"
done
signed=$(find "$work/files" -name '*.exe' -o -name '*.dll'; ls "$work"/dist/*.msi)
# Per build, 11: the program zip's 2 exes, the HID zip's 2 and its library,
# the simulator's 4, the custom actions and the MSI.
[ "$(echo "$signed" | wc -l)" -eq 22 ] || fail "expected 22 files to check, found: $signed"
for f in $signed; do
    verify "$f" || { fail "${f#$work/} does not verify"; cat "$work/verify.log"; }
done
(cd "$work/dist" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the signed files"

# One changed byte in a signed exe and in a signed MSI, each verified above.
program=$(cd "$work/dist" && ls -- *-win32.zip | grep -v -e -simulator- -e -hid-)
for f in "$work/files/${program%.zip}/Tandivorex.exe" "$work"/dist/*-win32.msi; do
    size=$(stat -c %s "$f") || { fail "no ${f#$work/}"; continue; }
    byte=$(od -An -tu1 -j $((size / 2)) -N1 "$f")
    printf "\\x$(printf %02x $(((byte + 1) % 256)))" | dd of="$f" bs=1 seek=$((size / 2)) conv=notrunc status=none
    ! verify "$f" || fail "${f#$work/} still verifies with a changed byte"
done
[ $failures -eq 0 ] && echo "the signed packages verify, a changed byte does not, and bad certificates are refused"
exit $((failures > 0))
