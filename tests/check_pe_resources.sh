#!/bin/sh
# Reads the version information and the manifest straight out of a Windows
# executable's resource section, so it runs on any build machine, Wine or not.
#   check_pe_resources.sh OBJCOPY FILE.exe VERSION
set -u
objcopy=$1
exe=$2
version=$3
name=$(basename "$exe")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

"$objcopy" -O binary --only-section=.rsrc "$exe" "$scratch/rsrc" || exit 1
[ -s "$scratch/rsrc" ] || { echo "$exe: no resource section"; exit 1; }
# The version block's keys and values are UTF-16 strings, each value right
# after its key.
strings -e l "$scratch/rsrc" >"$scratch/version"
status=0
value_of() { sed -n "/^$1\$/{n;p;q}" "$scratch/version"; }
expect() {
    actual=$(value_of "$1")
    [ "$actual" = "$2" ] || { echo "$name: $1 is '$actual', want '$2'"; status=1; }
}
expect ProductName ravlet
expect ProductVersion "$version"
expect FileVersion "$version"
expect OriginalFilename "$name"
value_of FileDescription | grep -q 'Corvane NET messenger' || { echo "$name: FileDescription does not name the messenger"; status=1; }

strings "$scratch/rsrc" >"$scratch/manifest"
for wanted in 'level="asInvoker"' '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}' '{35138b9a-5d96-4fbd-8e2d-a2440225f93a}'; do
    grep -qF "$wanted" "$scratch/manifest" || { echo "$name: the manifest lacks $wanted"; status=1; }
done
[ $status -eq 0 ] && echo "$name: version $version and an asInvoker manifest"
exit $status
