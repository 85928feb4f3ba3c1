#!/bin/sh
# Runs a Windows test executable under Wine, in the session that session.sh
# started: CMake's cross-compiling emulator for the Windows builds.
#   run.sh STATE_DIR [--peer BUILD_DIR] PROGRAM.exe [ARGS...]
#
# Exits 77 (which the tests declare as their skip code) with the reason when
# the session could not run this bitness. --peer names the other bitness's
# build: its folder reaches the program as RAVLET_PEER_DIR, and the test is
# skipped unless that build is there and this machine runs 32-bit programs.
set -u
SKIPPED=77
state=$1
shift
if [ -s "$state/skip" ]; then
    echo "SKIPPED: $(cat "$state/skip")"
    exit $SKIPPED
fi
if [ ! -s "$state/display" ] || [ ! -s "$state/loader" ]; then
    echo "run.sh: no Wine session in $state (the wine_session_start test starts it)" >&2
    exit 1
fi
if [ "${1:-}" = --peer ]; then
    peer=$(cd "$2" 2>/dev/null && pwd) || peer=$2
    shift 2
    if [ "$(cat "$state/wine32" 2>/dev/null)" != yes ]; then
        echo "SKIPPED: $(cat "$state/wine32" 2>/dev/null || echo 'no 32-bit probe in this session')"
        exit $SKIPPED
    fi
    for exe in ravlet.exe ravlet-listen.exe; do
        if [ ! -f "$peer/$exe" ]; then
            echo "SKIPPED: $peer/$exe is missing (build the other Windows preset first)"
            exit $SKIPPED
        fi
    done
    # Wine's drive Z: is the root of the file system.
    RAVLET_PEER_DIR="Z:$(echo "$peer" | tr / '\\')"
    export RAVLET_PEER_DIR
    # The prefix must be able to start the other bitness at all: the peer
    # tool without arguments ends in its usage stop, status 255.
    probe_status=0
    WINEPREFIX="$state/prefix" WINELOADER="$(cat "$state/loader")" DISPLAY="$(cat "$state/display")" \
        WINESERVER="$(cat "$state/server" 2>/dev/null)" WINEDEBUG=-all \
        "$(cat "$state/loader")" "$peer/ravlet.exe" >/dev/null 2>&1 </dev/null || probe_status=$?
    if [ "$probe_status" -ne 255 ]; then
        echo "SKIPPED: this Wine prefix cannot start $peer/ravlet.exe (status $probe_status)"
        exit $SKIPPED
    fi
fi

loader=$(cat "$state/loader")
export WINEPREFIX="$state/prefix" WINELOADER="$loader" DISPLAY="$(cat "$state/display")"
[ -s "$state/server" ] && export WINESERVER="$(cat "$state/server")"
# err+module names a missing DLL; everything else stays quiet.
export WINEDEBUG="${WINEDEBUG:--all,err+module}" WINEDLLOVERRIDES="mscoree,mshtml="

# Wine's stderr would be inherited by its background services; collect it in
# a file and pass it on once the program has ended.
errors=$(mktemp)
"$loader" "$@" 2>"$errors"
status=$?
cat "$errors" >&2
rm -f "$errors"
exit $status
