#!/bin/sh
# Builds the package of a build tree into a scratch folder and checks that
# its listing holds what users expect, and nothing from the tests.
#   check_package.sh BUILD_DIR EXPECTED_NAME ENTRY...
set -eu
build=$1
name=$2
shift 2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cpack --config "$build/CPackConfig.cmake" -B "$scratch" >"$scratch/cpack.log" 2>&1 || { cat "$scratch/cpack.log"; exit 1; }
archive=$(find "$scratch" -maxdepth 1 -name "$name" | head -n 1)
[ -n "$archive" ] || { echo "no $name in:"; ls "$scratch"; exit 1; }
listing=$(cd "$scratch" && cmake -E tar tf "$(basename "$archive")")
echo "$listing"
status=0
for entry in "$@"; do
    echo "$listing" | grep -qx "$entry" || { echo "missing: $entry"; status=1; }
done
if echo "$listing" | grep -q -i -E 'gtest|test'; then
    echo "test files in the package"
    status=1
fi
exit $status
