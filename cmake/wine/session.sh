#!/bin/sh
# A Wine session for the Windows tests: a virtual X display and a private,
# 32-bit Wine prefix inside the build tree, shared by every test of one run.
#
#   session.sh start STATE_DIR   start Xvfb and a persistent wineserver
#   session.sh stop STATE_DIR    stop both (also done by a watchdog when the
#                                test runner that started them goes away)
set -u
action=$1
state=$2
mkdir -p "$state"
export WINEPREFIX="$state/prefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

stop() {
    if [ -f "$state/display" ]; then
        DISPLAY=$(cat "$state/display") wineserver -k 2>/dev/null
    fi
    for name in watchdog xvfb; do
        if [ -f "$state/$name.pid" ]; then
            pid=$(cat "$state/$name.pid")
            [ "$pid" != "$$" ] && kill "$pid" 2>/dev/null
            rm -f "$state/$name.pid"
        fi
    done
    rm -f "$state/display" "$state/display.number"
}

case "$action" in
stop)
    stop
    exit 0
    ;;
start)
    stop
    for tool in Xvfb wine wineserver wineboot; do
        command -v "$tool" >/dev/null || { echo "session.sh: $tool not found (run scripts/install-deps.sh)" >&2; exit 1; }
    done
    # Xvfb picks a free display and writes its number to fd 3; the file is
    # made empty first, so that the wait below cannot read an old number.
    : >"$state/display.number"
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$state/display.number" </dev/null >/dev/null 2>&1 &
    echo $! >"$state/xvfb.pid"
    i=0
    while [ ! -s "$state/display.number" ]; do
        i=$((i + 1))
        if [ $i -gt 100 ] || ! kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null; then
            echo "session.sh: Xvfb did not start" >&2
            stop
            exit 1
        fi
        sleep 0.1
    done
    echo ":$(tr -d '\n' <"$state/display.number")" >"$state/display"
    export DISPLAY="$(cat "$state/display")"

    # Wine hands its output to background services that outlive the caller:
    # keep them away from the test runner's pipes.
    wineserver -p </dev/null >/dev/null 2>&1
    if [ ! -f "$state/prefix/system.reg" ]; then
        wineboot -i </dev/null >"$state/wineboot.log" 2>&1 || { cat "$state/wineboot.log" >&2; stop; exit 1; }
    fi

    # Stops the session if the test runner dies without running the cleanup.
    runner=$PPID
    (
        while kill -0 "$runner" 2>/dev/null; do sleep 2; done
        sh "$0" stop "$state"
    ) </dev/null >/dev/null 2>&1 &
    echo $! >"$state/watchdog.pid"
    echo "wine session on display $DISPLAY, prefix $WINEPREFIX"
    ;;
*)
    echo "usage: session.sh start|stop STATE_DIR" >&2
    exit 2
    ;;
esac
