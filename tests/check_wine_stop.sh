#!/bin/sh
# Ctrl+C reaches ravlet-listen.exe while its output is blocked: standard
# output is a FIFO that is held open and never read, and 25 KB messages fill
# it. The listener must end within 3 s, and the senders told "sent" must be
# exactly those whose lines got out whole. Runs in the Wine session of
# cmake/wine/session.sh; Wine turns SIGINT into the console's Ctrl+C.
#   check_wine_stop.sh STATE_DIR BUILD_DIR
set -u
state=$1
build=$2
if [ -s "$state/skip" ]; then
    echo "SKIPPED: $(cat "$state/skip")"
    exit 77
fi
loader=$(cat "$state/loader")
export WINEPREFIX="$state/prefix" WINELOADER="$loader" WINESERVER="$(cat "$state/server")" \
    DISPLAY="$(cat "$state/display")" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
scratch=$(mktemp -d)
listener=""
cleanup() {
    [ -n "$listener" ] && kill -9 "$listener" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT

mkfifo "$scratch/out"
exec 7<>"$scratch/out" # holds the FIFO open without reading it
"$loader" "$build/ravlet-listen.exe" >"$scratch/out" 2>"$scratch/listen.err" </dev/null &
listener=$!
i=0
until grep -q 'is listening' "$scratch/listen.err" 2>/dev/null; do
    i=$((i + 1))
    [ $i -gt 200 ] && { echo "listener did not start"; cat "$scratch/listen.err"; exit 1; }
    sleep 0.1
done

text=$(head -c 25000 /dev/zero | tr '\0' x)
for n in 1 2 3 4; do
    ("$loader" "$build/ravlet.exe" -r "user$n" -m "$text" >"$scratch/tool$n.out" 2>&1 </dev/null
        echo $? >"$scratch/tool$n.status") &
    sleep 0.7
done
sleep 2

start=$(date +%s%N)
kill -INT "$listener"
i=0
while kill -0 "$listener" 2>/dev/null; do
    i=$((i + 1))
    [ $i -gt 50 ] && break
    sleep 0.1
done
took=$(( ($(date +%s%N) - start) / 1000000 ))
status=0
if kill -0 "$listener" 2>/dev/null; then
    echo "the listener still runs ${took} ms after Ctrl+C"
    exit 1
fi
listener=""
[ "$took" -lt 3000 ] || { echo "the listener took ${took} ms to end"; status=1; }
echo "the listener ended ${took} ms after Ctrl+C"

i=0
while [ "$(ls "$scratch"/tool*.status 2>/dev/null | wc -l)" -lt 4 ]; do
    i=$((i + 1))
    [ $i -gt 300 ] && { echo "a sender did not end"; exit 1; }
    sleep 0.1
done
# What got out: read what the FIFO holds, then give up waiting for more.
timeout 2 cat "$scratch/out" >"$scratch/printed" 2>/dev/null
sent=""
for n in 1 2 3 4; do
    if grep -q 'Message has been sent.' "$scratch/tool$n.out"; then
        sent="$sent user$n"
    else
        grep -q 'Corvane not found.' "$scratch/tool$n.out" || { echo "user$n: unexpected output"; status=1; }
    fi
done
sent=$(echo $sent | tr ' ' '\n' | sort)
# A line cut short has no line end: it is the last, and it does not count.
tr -d '\r' <"$scratch/printed" >"$scratch/lines"
if [ -s "$scratch/lines" ] && [ "$(tail -c 1 "$scratch/lines" | od -An -c | tr -d ' ')" != '\n' ]; then
    sed -i '$d' "$scratch/lines"
fi
whole=$(sed -n 's/^#[0-9]* priority=normal to="\(user[0-9]*\)".*/\1/p' "$scratch/lines" | sort)
if [ "$whole" != "$sent" ]; then
    echo "lines printed whole: $(echo $whole); senders told sent: $(echo $sent)"
    status=1
fi
[ -n "$sent" ] || { echo "no sender was served before the output blocked"; status=1; }
echo "sent and printed whole: $(echo $sent)"
exit $status
