#!/usr/bin/env bash
# Builds a release build in build/bench, runs the benchmarks one after the
# other in this one run and prints the performance table as markdown; the
# benchmarks' own output is kept in build/bench/report/.
#
#   bench/report.sh [--count N] [--soak-seconds S]
#       N exchanges per line speed (default 300); with S > 0 (default 0) the
#       endurance run bench_soak follows for S seconds (600 for the README)
set -euo pipefail
cd "$(dirname "$0")/.."

count=300
soak=0
while [ $# -gt 0 ]; do
    case "$1" in
    --count) count="$2"; shift 2 ;;
    --soak-seconds) soak="$2"; shift 2 ;;
    *) echo "usage: bench/report.sh [--count N] [--soak-seconds S]" >&2; exit 2 ;;
    esac
done

cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DTALVEX_TESTS=OFF >/dev/null
cmake --build build/bench -j"$(nproc)" --target talvex bench_exchange bench_magauto bench_soak \
    >/dev/null
bin=build/bench/bench
out=build/bench/report
mkdir -p "$out"
export QT_QPA_PLATFORM=offscreen

load() { cut -d' ' -f1-3 /proc/loadavg; }
# The value after the first match of a pattern in a file: field $3 counted
# from the match's start.
pick() { grep -m1 -E "$2" "$1" | sed -E "s/.*($2)/\\1/" | awk -v f="$3" '{print $f}'; }

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
    wire="$(pick "$f" 'bit/s\) +[0-9.]+' 2)"
    median="$(pick "$f" 'SendReaderCommand +[0-9.]+' 2)"
    floor="$(pick "$f" 'raw termios\+poll +[0-9.]+' 3)"
    over="$(pick "$f" 'median - wire time +[-+0-9.]+' 5)"
    printf '| exchange at %s bit/s, wire time emulated (%s runs) | median %.2f ms against a wire time of %.2f ms (%+.2f ms); bare client %.2f ms | within 1 ms of wire time |\n' \
        "$baud" "$count" "$(echo "$median / 1000" | bc -l)" "$(echo "$wire / 1000" | bc -l)" \
        "$(echo "$over / 1000" | bc -l)" "$(echo "$floor / 1000" | bc -l)"
done
f="$out/exchange-nowire.txt"
printf '| exchange, no emulation (%s runs) | median %s µs against %s µs for the bare client: %s × | ≤ 1.5 × |\n' \
    "$((count * 10))" "$(pick "$f" 'SendReaderCommand +[0-9.]+' 2)" \
    "$(pick "$f" 'raw termios\+poll +[0-9.]+' 3)" "$(pick "$f" 'exchange / floor +[0-9.]+' 4)"
printf '| waiting out the 3 s no-answer limit (3 times) | %s ms of CPU in %s s: %s %% of one core | ≤ 1 %% |\n' \
    "$(pick "$out/silence.txt" 'total: .*' 4)" "$(pick "$out/silence.txt" 'total: .*' 2)" \
    "$(pick "$out/silence.txt" 'total: .*' 8)"
printf '| both dispenser status polls at 100 ms, 30 s | %s s of CPU: %s %% of one core | ≤ 1 %% |\n' \
    "$(pick "$out/polls.txt" 'CPU: .*' 2)" "$(pick "$out/polls.txt" 'CPU: .*' 6)"
printf '| process start to the launcher painted (5 starts) | %s ms (median; all: %s) | |\n' \
    "$(awk '{print $4}' "$out/launch.txt" | sort -n | sed -n 3p)" \
    "$(awk '{print $4}' "$out/launch.txt" | paste -sd' ' - | sed 's/ /, /g')"
printf '| reader window after 999 reads of the magnetic automatic test | resident %s kB (%s kB after the first read), heap in use %s kB (%s kB) | flat |\n' \
    "$(pick "$out/magauto.txt" 'kB after the first cycle, [0-9]+' 6)" \
    "$(pick "$out/magauto.txt" 'resident memory: [0-9]+' 3)" \
    "$(pick "$out/magauto.txt" 'heap in use: [0-9]+ kB after the first cycle, [0-9]+' 9)" \
    "$(pick "$out/magauto.txt" 'heap in use: [0-9]+' 4)"
if [ "$soak" -gt 0 ]; then
    echo
    echo "Endurance, $soak s (bench_soak):"
    echo
    sed 's/^/    /' "$out/soak.txt"
fi
