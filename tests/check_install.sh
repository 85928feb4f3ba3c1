#!/bin/sh
# Installs a build tree into a scratch prefix and runs what was installed:
# the tool, the stand-in messenger's help, and the manual pages through groff
# with every warning on.
#   check_install.sh BUILD_DIR
set -eu
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/ravlet bin/ravlet-listen share/man/man1/ravlet.1 share/man/man1/ravlet-listen.1 \
    share/doc/ravlet/README.md share/doc/ravlet/CHANGELOG.md share/doc/ravlet/LICENSE \
    share/doc/ravlet/posix-window-messaging.md; do
    [ -f "$prefix/$f" ] || { echo "not installed: $f"; exit 1; }
done

# Not found, in a desktop of its own: the banner, one line, status 255.
desktop=$(mktemp -d)
status=0
out=$(XDG_RUNTIME_DIR=$desktop "$prefix/bin/ravlet" -r ann -m hi) || status=$?
rm -rf "$desktop"
[ "$status" -eq 255 ] || { echo "installed ravlet exited $status"; exit 1; }
echo "$out" | tail -n 1 | grep -qx 'Corvane not found.' || { echo "unexpected output: $out"; exit 1; }
"$prefix/bin/ravlet-listen" --help | grep -q '^usage: ravlet-listen' || { echo "ravlet-listen --help failed"; exit 1; }

for page in ravlet ravlet-listen; do
    warnings=$(groff -ww -man -Tutf8 -z "$prefix/share/man/man1/$page.1" 2>&1)
    [ -z "$warnings" ] || { echo "$page.1: $warnings"; exit 1; }
    MANWIDTH=80 man -l "$prefix/share/man/man1/$page.1" 2>/dev/null | grep -q 'SYNOPSIS' || { echo "$page.1 does not render"; exit 1; }
done
echo "installed and ran from $prefix"
