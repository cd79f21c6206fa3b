#!/usr/bin/env bash
# The packages of one commit are the same bytes whatever the folder and time
# they are built in: a fresh clone of HEAD is packaged and compared with DIST,
# this checkout's packages, or, when this checkout has uncommitted changes
# (its packages are then "-dirty"), with those of a second fresh clone.
# usage: check_reproducible.sh DIST
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
head=$(git -C "$root" rev-parse HEAD)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

package_clone() { # DIR
    git clone -q --no-checkout "$root" "$1"
    git -C "$1" checkout -q "$head"
    "$1/scripts/package" >/dev/null
}

reference=$1
if [ -n "$(git -C "$root" status --porcelain)" ]; then
    package_clone "$work/first"
    reference=$work/first/dist
fi
package_clone "$work/again"

failures=0
[ "$(ls "$reference")" = "$(ls "$work/again/dist")" ] || { echo "FAIL: different files"; failures=1; }
for f in "$reference"/*.zip "$reference"/*.msi; do
    again=$work/again/dist/$(basename "$f")
    cmp -s "$f" "$again" && continue
    failures=1
    case $f in
        *.zip) echo "FAIL: $(basename "$f") differs; its members (CRC) from $reference, then again:"
               diff <(unzip -v "$f") <(unzip -v "$again") || true ;;
        *.msi) echo "FAIL: $(basename "$f") differs; its summary from $reference, then again:"
               diff <(msiinfo suminfo "$f") <(msiinfo suminfo "$again") || true ;;
    esac
done
[ $failures -eq 0 ] && echo "the packages of $head built again are the same bytes"
exit $failures
