#!/usr/bin/env bash
# Configures and builds the native tree in build/, or in BUILD_DIR when set (extra cmake
# arguments are passed on).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DWERROR=ON "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
