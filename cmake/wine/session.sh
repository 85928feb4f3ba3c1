#!/bin/sh
# A Wine session for the Windows tests: a virtual X display and a private
# Wine prefix inside the build tree, shared by every test of one run.
#
#   session.sh start STATE_DIR ARCH   start Xvfb and a persistent wineserver;
#                                     ARCH is win32 or win64
#   session.sh stop STATE_DIR         stop both (also done by a watchdog when
#                                     the test runner that started them goes away)
#
# Some machines cannot execute 32-bit programs at all, and Wine's 32-bit
# loader is one. Whether this one can is probed once here; RAVLET_WINE32=yes
# or =no forces the answer. Without it a win32 session starts nothing and
# leaves the reason in STATE_DIR/skip, which run.sh turns into a skipped test.
# A win64 session records the answer in STATE_DIR/wine32, for the tests that
# mix 32-bit and 64-bit programs.
set -u
action=$1
state=$2
arch=${3:-win32}
mkdir -p "$state"
export WINEPREFIX="$state/prefix" WINEARCH=$arch WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

stop() {
    if [ -f "$state/display" ]; then
        server=$(cat "$state/server" 2>/dev/null || echo wineserver)
        DISPLAY=$(cat "$state/display") "$server" -k 2>/dev/null
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

# The loader that Debian's package installs; its own `wine` command picks the
# 32-bit one whenever that is installed, whatever the program is.
loader_of() {
    package=$1 name=$2
    for path in $(dpkg -L "$package" 2>/dev/null | grep "/$name\$") "/usr/lib/wine/$name"; do
        if [ -f "$path" ] && [ -x "$path" ]; then
            echo "$path"
            return 0
        fi
    done
    return 1
}

# Prints why 32-bit Windows programs cannot run here, or nothing when they can.
wine32_problem() {
    case "${RAVLET_WINE32:-}" in
    yes) return 0 ;;
    no) echo "RAVLET_WINE32=no says this machine cannot run 32-bit programs"; return 0 ;;
    esac
    loader=$(loader_of wine32:i386 wine) || { echo "Wine's 32-bit loader (package wine32:i386) is not installed"; return 0; }
    if ! output=$("$loader" --version 2>&1); then
        echo "this machine cannot execute 32-bit programs ($loader --version: $(echo "$output" | tail -n 1 | sed 's/.*: //'))"
    fi
}

case "$action" in
stop)
    stop
    exit 0
    ;;
start)
    stop
    rm -f "$state/skip" "$state/wine32" "$state/loader" "$state/server" "$state/summary"
    problem32=$(wine32_problem)
    if [ "$arch" = win32 ]; then
        if [ -n "$problem32" ]; then
            echo "$problem32" >"$state/skip"
            echo "skipped: $problem32" >"$state/summary"
            echo "32-bit Wine tests will be skipped: $problem32"
            exit 0
        fi
        loader=$(loader_of wine32:i386 wine) || loader=$(command -v wine)
    else
        loader=$(loader_of wine64 wine64) || { echo "session.sh: Wine's 64-bit loader not found (package wine64; run scripts/install-deps.sh)" >&2; exit 1; }
        echo "${problem32:-yes}" >"$state/wine32"
    fi
    for tool in Xvfb wineserver; do
        command -v "$tool" >/dev/null || { echo "session.sh: $tool not found (run scripts/install-deps.sh)" >&2; exit 1; }
    done
    # The server of the loader's own bitness, as on a machine that has only
    # that Wine: Debian's wineserver command picks the 64-bit one whenever it
    # is installed.
    server=/usr/lib/wine/wineserver${arch#win}
    [ -x "$server" ] || server=$(command -v wineserver)
    echo "$loader" >"$state/loader"
    echo "$server" >"$state/server"
    export WINELOADER="$loader" WINESERVER="$server"

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
    "$server" -p </dev/null >/dev/null 2>&1
    if [ ! -f "$state/prefix/system.reg" ]; then
        "$loader" wineboot -i </dev/null >"$state/wineboot.log" 2>&1 || { cat "$state/wineboot.log" >&2; stop; exit 1; }
    fi

    # Stops the session if the test runner dies without running the cleanup.
    runner=$PPID
    (
        while kill -0 "$runner" 2>/dev/null; do sleep 2; done
        sh "$0" stop "$state"
    ) </dev/null >/dev/null 2>&1 &
    echo $! >"$state/watchdog.pid"
    echo "ran ($arch prefix, loader $loader)" >"$state/summary"
    echo "wine session on display $DISPLAY, $arch prefix $WINEPREFIX, loader $loader"
    ;;
*)
    echo "usage: session.sh start STATE_DIR win32|win64 | session.sh stop STATE_DIR" >&2
    exit 2
    ;;
esac
