#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test natively, then the same again for the
# appliance (armhf, under qemu-arm, with the size report: scripts/cross.sh); ends with ctest's
# summary line. SKIP_ARMHF=1 leaves out the armhf run. On the way it builds the programs alone
# in build-notests/ (tests off) and stages them as the appliance gets them.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
bash scripts/deps.sh
bash scripts/build.sh
# The programs alone, as the appliance gets them: a tree without the tests, staged with DESTDIR.
BUILD_DIR=build-notests bash scripts/build.sh -DBUILD_TESTS=OFF
python3 tests/install/test_install.py build-notests
(cd build && ctest --output-on-failure -j"$(nproc)")
if [ "${SKIP_ARMHF:-0}" != 1 ]; then
  bash scripts/cross.sh
fi
# Each libFuzzer target for 60 seconds (scripts/fuzz.sh, about 13 minutes with its build);
# SKIP_FUZZ=1 leaves it out.
if [ "${SKIP_FUZZ:-0}" != 1 ]; then
  bash scripts/fuzz.sh 60
fi
