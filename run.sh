#!/usr/bin/env bash
# Installs what is missing, builds a release build and starts Talvex with its
# simulated devices (reader on COM1, dispensers on COM2 and COM3).
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
talvex_install_deps
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DTALVEX_TESTS=OFF -DTALVEX_BENCH=OFF
cmake --build build/release -j"$(nproc)"
exec build/release/src/app/talvex --demo "$@"
