#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and runs the whole
# test suite headless; then the same suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer; then each fuzz target briefly over its corpus.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
talvex_install_deps "${talvex_test_deps[@]}"
export QT_QPA_PLATFORM=offscreen
jobs="$(nproc)"

cmake -S . -B build/test -DCMAKE_BUILD_TYPE=Debug -DTALVEX_WERROR=ON
cmake --build build/test -j"$jobs"
ctest --test-dir build/test --output-on-failure -j"$jobs"

if [ "${TALVEX_SKIP_SANITIZERS:-0}" != 1 ]; then
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DTALVEX_WERROR=ON -DTALVEX_SANITIZE=ON \
          -DTALVEX_BENCH=OFF
    cmake --build build/asan -j"$jobs"
    ctest --test-dir build/asan --output-on-failure -j"$jobs"
fi

if [ "${TALVEX_SKIP_FUZZ:-0}" != 1 ]; then
    (unset ASAN_OPTIONS UBSAN_OPTIONS; scripts/fuzz.sh "${TALVEX_FUZZ_SECONDS:-10}")
fi
