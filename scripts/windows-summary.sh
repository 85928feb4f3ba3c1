#!/bin/sh
# Says which Windows suites ran under Wine in the last test run of each
# Windows build, and which were skipped and why (see cmake/wine/session.sh).
#   windows-summary.sh BUILD_ROOT
root=${1:-build}
echo "Windows test summary:"
for preset in windows-x86 windows-x64; do
    state=$root/$preset/wine
    if [ -s "$state/summary" ]; then
        echo "  $preset: Wine tests $(cat "$state/summary")"
    else
        echo "  $preset: no Wine test run recorded"
    fi
done
if [ -s "$root/windows-x64/wine/wine32" ]; then
    if [ "$(cat "$root/windows-x64/wine/wine32")" = yes ]; then
        echo "  across bitness (32-bit tool with 64-bit listener, and back): ran"
    else
        echo "  across bitness: skipped: $(cat "$root/windows-x64/wine/wine32")"
    fi
fi
