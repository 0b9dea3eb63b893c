#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test; ends with ctest's summary line.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
bash scripts/deps.sh
bash scripts/build.sh
cd build
ctest --output-on-failure -j"$(nproc)"
