#!/usr/bin/env bash
# Installs what is missing, builds a release build and starts Talvex with its
# simulated devices (reader on COM1, dispensers on COM2 and COM3).
#
# Run it as yourself: sudo is asked for only when packages must be installed.
# The window never runs as root unless you are root: started through sudo, the
# script installs as root and then builds and runs as the user who asked.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh

if [ "$(id -u)" -eq 0 ] && [ -n "${SUDO_USER:-}" ] && [ "$SUDO_USER" != root ]; then
    talvex_install_deps
    exec sudo -u "$SUDO_USER" \
        --preserve-env=DISPLAY,WAYLAND_DISPLAY,XAUTHORITY,XDG_RUNTIME_DIR,QT_QPA_PLATFORM \
        -- "$0" "$@"
fi

talvex_install_deps
if [ -e build/release ] && [ ! -w build/release ]; then
    echo "build/release belongs to another user (an earlier run as root?)." >&2
    echo "Remove it once with: sudo rm -rf build/release" >&2
    exit 1
fi
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DTALVEX_TESTS=OFF -DTALVEX_BENCH=OFF
cmake --build build/release -j"$(nproc)"
exec build/release/src/app/talvex --demo "$@"
