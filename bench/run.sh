#!/usr/bin/env bash
# The benchmark suite: whole-process cost of ravlet against the floor (a
# minimal C sender doing the same hand-over), memory, executable size, and
# how parse, build_packet and decode_packet scale. Prints a table and writes
# it to bench/results.md.
#   run.sh [PAIRS]     (default 300 pairs natively, a tenth of that under Wine)
set -euo pipefail
cd "$(dirname "$0")/.."
pairs=${1:-300}
wine_pairs=$(( pairs / 10 > 10 ? pairs / 10 : 10 ))
native=build/native
# The 32-bit Windows build, or the 64-bit one where 32-bit programs cannot run.
windows=build/windows-x86
windows_arch=win32
windows_strip=i686-w64-mingw32-strip
out=bench/results.md
scratch=$(mktemp -d)
listener=""
cleanup() {
    [ -n "$listener" ] && kill "$listener" 2>/dev/null || true
    sh cmake/wine/session.sh stop "$PWD/$windows/wine" >/dev/null 2>&1 || true
    rm -rf "$scratch"
}
trap cleanup EXIT

cmake --preset native >/dev/null
cmake --build --preset native --target ravlet ravlet-listen floor_send paired_runs scaling_bench >/dev/null
cmake --preset windows-x86 >/dev/null
cmake --build --preset windows-x86 --target ravlet ravlet-listen floor_send >/dev/null
sh cmake/wine/session.sh start "$PWD/$windows/wine" win32 >/dev/null
if [ -s "$windows/wine/skip" ]; then
    echo "32-bit Windows programs cannot run here ($(cat "$windows/wine/skip")): timing the 64-bit build" >&2
    windows=build/windows-x64
    windows_arch=win64
    windows_strip=x86_64-w64-mingw32-strip
    cmake --preset windows-x64 >/dev/null
    cmake --build --preset windows-x64 --target ravlet ravlet-listen floor_send >/dev/null
fi

row() { printf '| %s | %s | %s | %s |\n' "$@" | tee -a "$out"; }
field() { sed -n "s/.*$1=\([^ ]*\).*/\1/p"; }
instructions() { { valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null || true; } | sed -n 's/.*Collected : //p'; }
# Peak resident set of one run, in KiB, as /usr/bin/time -v reports it.
peak_kib() { { /usr/bin/time -f '%M' "$@" 2>&1 >/dev/null || true; } | tail -n 1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }

{
    echo "# Benchmarks"
    echo
    echo "Measured by \`make bench\` on $(date -u +%Y-%m-%d), $(nproc) cores, $(uname -m)."
    echo "Times are medians of $pairs alternating pairs (A B A B ...) natively and $wine_pairs under Wine;"
    echo "the floor is bench/floor_send.c, built the same way as the tool (static)."
    echo
    echo "| Measure | ravlet | floor | ratio |"
    echo "|---|---|---|---|"
} | tee "$out"

# POSIX, delivered to ravlet-listen in a desktop of its own.
export XDG_RUNTIME_DIR=$scratch
"$native/ravlet-listen" >/dev/null 2>"$scratch/listen.err" &
listener=$!
until grep -q 'is listening' "$scratch/listen.err" 2>/dev/null; do sleep 0.05; done
args=(-r ann -m hi)
line=$("$native/paired_runs" "$pairs" -- "$native/ravlet" "${args[@]}" -- "$native/floor_send" "${args[@]}")
row "POSIX wall time, delivered (ms)" "$(echo "$line" | field median_a_ms)" "$(echo "$line" | field median_b_ms)" "$(echo "$line" | field ratio)"
a=$(peak_kib "$native/ravlet" "${args[@]}"); b=$(peak_kib "$native/floor_send" "${args[@]}")
row "POSIX peak resident memory, delivered (KiB)" "$a" "$b" "$(( a - b )) KiB more"
a=$(instructions "$native/ravlet" "${args[@]}"); b=$(instructions "$native/floor_send" "${args[@]}")
row "POSIX instructions, delivered" "$a" "$b" "$(ratio "${a//,/}" "${b//,/}")"
kill "$listener"; wait "$listener" 2>/dev/null || true; listener=""

line=$("$native/paired_runs" "$pairs" -- "$native/ravlet" "${args[@]}" -- "$native/floor_send" "${args[@]}")
row "POSIX wall time, not found (ms)" "$(echo "$line" | field median_a_ms)" "$(echo "$line" | field median_b_ms)" "$(echo "$line" | field ratio)"
a=$(instructions "$native/ravlet" "${args[@]}"); b=$(instructions "$native/floor_send" "${args[@]}")
row "POSIX instructions, not found" "$a" "$b" "$(ratio "${a//,/}" "${b//,/}")"

# Windows under Wine, delivered to ravlet-listen.exe; both through the same wrapper.
state=$PWD/$windows/wine
sh cmake/wine/session.sh start "$state" "$windows_arch" >/dev/null
wine_run=(sh cmake/wine/run.sh "$state")
"${wine_run[@]}" "$windows/ravlet-listen.exe" >/dev/null 2>&1 &
listener=$!
sleep 3
line=$("$native/paired_runs" "$wine_pairs" -- "${wine_run[@]}" "$windows/ravlet.exe" "${args[@]}" -- \
    "${wine_run[@]}" "$windows/floor_send.exe" "${args[@]}")
row "Wine wall time, delivered, $windows_arch build (ms)" "$(echo "$line" | field median_a_ms)" "$(echo "$line" | field median_b_ms)" "$(echo "$line" | field ratio)"
kill "$listener" 2>/dev/null || true; listener=""
sh cmake/wine/session.sh stop "$state" >/dev/null

for exe in ravlet floor_send; do
    "$windows_strip" -o "$scratch/$exe.exe" "$windows/$exe.exe"
done
a=$(stat -c %s "$scratch/ravlet.exe"); b=$(stat -c %s "$scratch/floor_send.exe")
row "Windows executable, $windows_arch, stripped (bytes)" "$a" "$b" "$(ratio "$a" "$b")"

# Whole-process time as the number of recipients grows (POSIX, not found).
{
    echo
    echo "Whole process, not found, by number of recipients (POSIX):"
    echo
    echo "| Recipients | ravlet (ms) | ravlet -r ann -m hi (ms) | ratio |"
    echo "|---|---|---|---|"
} | tee -a "$out"
for n in 1 100 5000; do
    recipients=$(seq -f 'recipient%g' 1 "$n" | tr '\n' ' ')
    # shellcheck disable=SC2086
    line=$("$native/paired_runs" "$(( pairs / 3 ))" -- "$native/ravlet" -r $recipients -m hi -- "$native/ravlet" "${args[@]}")
    row "$n" "$(echo "$line" | field median_a_ms)" "$(echo "$line" | field median_b_ms)" "$(echo "$line" | field ratio)"
done

# Scaling of the pieces: Google Benchmark's fitted complexity.
{
    echo
    echo "Scaling (Google Benchmark, fitted complexity):"
    echo
    echo '```'
} | tee -a "$out"
scaling=$("$native/scaling_bench" --benchmark_min_time=0.1 2>/dev/null)
echo "$scaling" | grep -E '_BigO|_RMS' | tee -a "$out"
echo '```' | tee -a "$out"
{
    echo
    echo "Time per item as the input grows (a step that is not linear shows as a rising figure):"
    echo
    echo '```'
} | tee -a "$out"
echo "$scaling" | awk '$1 ~ /\/(1000|10000|100000|4096|65536|1048576)$/ {
    n = $1; sub(/.*\//, "", n); printf "%-36s %8.2f ns per item\n", $1, $2 / n }' | tee -a "$out"
echo '```' | tee -a "$out"
