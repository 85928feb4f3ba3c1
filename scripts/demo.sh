#!/usr/bin/env bash
# Shows one message travelling from ravlet to ravlet-listen, in a desktop
# directory of its own so that it never meets a messenger already running.
#   demo.sh BUILD_DIR
set -euo pipefail
build=$1
desktop=$(mktemp -d)
trap 'rm -rf "$desktop"' EXIT
export XDG_RUNTIME_DIR=$desktop

"$build/ravlet-listen" --count 1 2>"$desktop/listen.err" >"$desktop/listen.out" &
listener=$!
for _ in $(seq 100); do
    grep -q 'is listening' "$desktop/listen.err" 2>/dev/null && break
    kill -0 "$listener" 2>/dev/null || break
    sleep 0.05
done

echo '$ ravlet-listen --count 1 &'
echo '$ ravlet -r ann "Bob Lee" -m "Lunch is ready" -p high'
status=0
"$build/ravlet" -r ann "Bob Lee" -m "Lunch is ready" -p high || status=$?
echo "(ravlet exit status $status)"
wait "$listener" || true
echo '--- ravlet-listen printed:'
cat "$desktop/listen.out"
