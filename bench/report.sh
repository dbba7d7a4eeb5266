#!/usr/bin/env bash
# Builds a release build in build/bench, runs the benchmarks one after the
# other in this one run and prints the performance table as markdown; the
# benchmarks' own output is kept in build/bench/report/.
#
#   bench/report.sh [--count N] [--latency-seconds L] [--compare-seconds C]
#                   [--soak-seconds S]
#       N exchanges per line speed (default 300); L seconds for each situation
#       of bench_latency (default 10); C seconds for the magnetic reads with
#       and without the dispensers (default 90, a third of it alone); with
#       S > 0 (default 0) the endurance run bench_soak follows for S seconds
#       (600 for the README)
set -euo pipefail
cd "$(dirname "$0")/.."

count=300
latency=10
compare=90
soak=0
while [ $# -gt 0 ]; do
    case "$1" in
    --count) count="$2"; shift 2 ;;
    --latency-seconds) latency="$2"; shift 2 ;;
    --compare-seconds) compare="$2"; shift 2 ;;
    --soak-seconds) soak="$2"; shift 2 ;;
    *) echo "usage: bench/report.sh [--count N] [--latency-seconds L] [--compare-seconds C]" \
            "[--soak-seconds S]" >&2; exit 2 ;;
    esac
done

cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DTALVEX_TESTS=OFF >/dev/null
cmake --build build/bench -j"$(nproc)" --target talvex bench_exchange bench_magauto bench_soak \
    bench_latency >/dev/null
bin=build/bench/bench
out=build/bench/report
mkdir -p "$out"
export QT_QPA_PLATFORM=offscreen

load() { cut -d' ' -f1-3 /proc/loadavg; }
# Field N of the first line of FILE that starts (blanks aside) with TEXT.
field() { awk -v t="$2" -v n="$3" 'index($0, t) && !done { sub(/^ +/, ""); if (index($0, t) == 1) { print $n; done = 1 } }' "$1"; }
ms() { awk -v us="$1" 'BEGIN { printf "%.2f", us / 1000 }'; }

load_before="$(load)"

# Exchanges: with the simulator keeping each line speed's wire time, and
# with no emulation (against the bare termios client in the same run).
for baud in 9600 19200 38400 57600; do
    "$bin/bench_exchange" --count "$count" --wire --baud "$baud" >"$out/exchange-$baud.txt"
done
"$bin/bench_exchange" --count $((count * 10)) >"$out/exchange-nowire.txt"
# A silent reader: the exchange waits out its 3 s limit three times.
"$bin/bench_exchange" --silence --count 3 >"$out/silence.txt" 2>&1 || true
# Both dispenser panels polling every 100 ms, no test running.
"$bin/bench_soak" --idle --seconds 30 >"$out/polls.txt" || true
# Process start to the launcher's first paint, five times.
for i in 1 2 3 4 5; do
    TALVEX_LAUNCH_TIME="$(date +%s%N)" build/bench/src/app/talvex
done >"$out/launch.txt"
# The window thread's timer lateness in each slow-device situation.
"$bin/bench_latency" --seconds "$latency" >"$out/latency.txt" 2>"$out/latency-boxes.txt" || true
# Magnetic reads per second alone, then with both dispensers cycling.
"$bin/bench_soak" --seconds "$compare" --alone-seconds $((compare / 3)) \
    >"$out/compare.txt" 2>"$out/compare-boxes.txt" || true
# The reader window after 999 reads of the magnetic automatic test.
"$bin/bench_magauto" --count 999 >"$out/magauto.txt"
if [ "$soak" -gt 0 ]; then
    "$bin/bench_soak" --seconds "$soak" >"$out/soak.txt" || true
fi

load_after="$(load)"

echo "Release build; $(nproc) cores ($(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 |
    sed 's/^ //')), shared with other work: load average $load_before before, $load_after after."
echo
echo "| what | figure | target |"
echo "|---|---|---|"
for baud in 9600 19200 38400 57600; do
    f="$out/exchange-$baud.txt"
    median="$(field "$f" SendReaderCommand 2)"
    wire="$(awk '/^  wire time/ { print $(NF-1) }' "$f")"
    printf '| exchange at %s bit/s, wire time emulated (%s runs) | median %s ms against %s ms of wire time: %+.2f ms; bare client %s ms | within 1 ms of wire time |\n' \
        "$baud" "$count" "$(ms "$median")" "$(ms "$wire")" \
        "$(awk -v m="$median" -v w="$wire" 'BEGIN { print (m - w) / 1000 }')" \
        "$(ms "$(field "$f" 'raw termios' 3)")"
done
f="$out/exchange-nowire.txt"
printf '| exchange, no emulation (%s runs) | median %s µs against %s µs for the bare client: %s × (window thread CPU %s µs an exchange, bare client %s µs) | ≤ 1.25 × |\n' \
    "$((count * 10))" "$(field "$f" SendReaderCommand 2)" "$(field "$f" 'raw termios' 3)" \
    "$(field "$f" 'exchange / floor' 4)" "$(field "$f" 'window thread CPU' 4)" \
    "$(field "$f" 'window thread CPU' 10)"
f="$out/silence.txt"
printf '| waiting out the 3 s no-answer limit (3 times) | %s ms of CPU in %s s: %s %% of one core | ≤ 1 %% |\n' \
    "$(field "$f" total: 5)" "$(field "$f" total: 2)" "$(field "$f" total: 8)"
f="$out/polls.txt"
printf '| both dispenser panels polling their status every 100 ms (30 s) | %s s of CPU: %s %% of one core | ≤ 1 %% |\n' \
    "$(field "$f" CPU: 2)" "$(field "$f" CPU: 7)"
printf '| process start to the launcher painted (5 starts) | median %s ms (%s) | |\n' \
    "$(awk '{ print $4 }' "$out/launch.txt" | sort -n | sed -n 3p)" \
    "$(awk '{ print $4 }' "$out/launch.txt" | paste -sd, - | sed 's/,/, /g')"
f="$out/latency.txt"
for situation in "poll" "silent poll" "unplugged" "silent reader" "scan"; do
    line="$(grep -m1 "^$situation  " "$f" || true)"
    printf '| window thread, 10 ms timer lateness: %s | %s | p99 ≤ 20 ms, max ≤ 50 ms |\n' \
        "$(case "$situation" in
            "poll") echo "KVR-820 polled every 100 ms, answering" ;;
            "silent poll") echo "KVR-820 gone quiet, port open, polled" ;;
            "unplugged") echo "KVR-820 unplugged, port open, polled" ;;
            "silent reader") echo "reader command waiting out the 3 s ACK limit" ;;
            "scan") echo "reader port and speed scan" ;;
        esac)" \
        "$(echo "$line" | awk '{ sub(/^.*  p50/, "p50"); sub(/ +\(.*$/, ""); gsub(/  +/, " "); print }')"
done
f="$out/compare.txt"
printf '| magnetic automatic test with both dispensers polling and cycling, against it alone | %s | ≥ 90 %% |\n' \
    "$(awk '/magnetic reads\/s:/ { sub(/^ *magnetic reads\/s: /, ""); sub(/ \(target.*$/, ""); print }' "$f")"
f="$out/magauto.txt"
printf '| reader window after 999 reads of the magnetic automatic test | resident %s kB (%s kB after the first read); heap in use %s kB (%s kB) | flat |\n' \
    "$(field "$f" 'resident memory:' 9)" "$(field "$f" 'resident memory:' 3)" \
    "$(awk -F'heap in use: ' 'NF > 1 { split($2, w, " "); print w[7] }' "$f")" \
    "$(awk -F'heap in use: ' 'NF > 1 { split($2, w, " "); print w[1] }' "$f")"
if [ "$soak" -gt 0 ]; then
    echo
    echo "Endurance, $soak s (bench_soak):"
    echo
    sed 's/^/    /' "$out/soak.txt"
fi
