#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test natively, then the same again for the
# appliance (armhf, under qemu-arm, with the size report: scripts/cross.sh); ends with ctest's
# summary line. SKIP_ARMHF=1 leaves out the armhf run.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
bash scripts/deps.sh
bash scripts/build.sh
(cd build && ctest --output-on-failure -j"$(nproc)")
if [ "${SKIP_ARMHF:-0}" != 1 ]; then
  bash scripts/cross.sh
fi
