#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer and runs each one, starting
# from its committed corpus, for SECONDS seconds (default 600). Inputs that
# reach new code go to BUILD/found/<target>; the committed corpus is only read.
# A crash, a broken property, a leak or a slow input is a finding: the input
# is kept in BUILD/findings/ and the script fails. BUILD is build/fuzz unless
# TALVEX_FUZZ_BUILD names another folder.
#
#   scripts/fuzz.sh [SECONDS] [TARGET ...]      e.g. scripts/fuzz.sh 600 exchange
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-600}"
shift || true
build="${TALVEX_FUZZ_BUILD:-build/fuzz}"

cxx="$(command -v clang++-14 || command -v clang++ || true)"
if [ -z "$cxx" ]; then
    echo "fuzz: clang++ not found (scripts/deps.sh installs clang-14)" >&2
    exit 1
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="$cxx" \
      -DTALVEX_FUZZ=ON -DTALVEX_TESTS=OFF -DTALVEX_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target talvex_fuzz_targets

if [ $# -eq 0 ]; then
    set -- $(ls fuzz/corpus)
fi
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p "$build/findings"
status=0
for target in "$@"; do
    found="$build/found/$target"
    log="$build/$target.log"
    mkdir -p "$found"
    echo "fuzz_$target: ${seconds} s from fuzz/corpus/$target"
    if ! "$build/fuzz/fuzz_$target" "$found" "fuzz/corpus/$target" \
            -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
            -artifact_prefix="$build/findings/$target-" >"$log" 2>&1; then
        echo "fuzz_$target: FINDING (see $log and $build/findings/)" >&2
        tail -n 40 "$log" >&2
        status=1
    fi
    grep -E '(INITED|DONE) |^stat::number_of_executed_units' "$log" || true
done
exit $status
