#!/bin/sh
# Runs a Windows test executable under Wine, in the session that session.sh
# started: CMake's cross-compiling emulator for the windows-x86 build.
#   run.sh STATE_DIR PROGRAM.exe [ARGS...]
set -u
state=$1
shift
if [ ! -s "$state/display" ]; then
    echo "run.sh: no Wine session in $state (the wine_session_start test starts it)" >&2
    exit 1
fi
export WINEPREFIX="$state/prefix" WINEARCH=win32 DISPLAY="$(cat "$state/display")"
# err+module names a missing DLL; everything else stays quiet.
export WINEDEBUG="${WINEDEBUG:--all,err+module}" WINEDLLOVERRIDES="mscoree,mshtml="

# Wine's stderr would be inherited by its background services; collect it in
# a file and pass it on once the program has ended.
errors=$(mktemp)
wine "$@" 2>"$errors"
status=$?
cat "$errors" >&2
rm -f "$errors"
exit $status
