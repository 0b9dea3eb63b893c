#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test natively, then the same again for the
# appliance (armhf, under qemu-arm, with the size report: scripts/cross.sh); ends with ctest's
# summary line. SKIP_ARMHF=1 leaves out the armhf run. On the way it builds the programs alone
# in build-notests/ (tests off) and stages them as the appliance gets them, and runs the whole
# suite once more under the sanitizers in build-asan/ (SKIP_SANITIZE=1 leaves that out) and
# each fuzz target for a minute (SKIP_FUZZ=1 leaves that out).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
bash scripts/deps.sh
bash scripts/build.sh
# The programs alone, as the appliance gets them: a tree without the tests, staged with DESTDIR.
BUILD_DIR=build-notests bash scripts/build.sh -DBUILD_TESTS=OFF
python3 tests/install/test_install.py build-notests
(cd build && ctest --output-on-failure -j"$(nproc)")

# --- sanitizers ------------------------------------------------------------------------------
# The whole suite, unit and integration tests, with every program, simulator and test
# program built with AddressSanitizer and UndefinedBehaviorSanitizer: any finding, and any
# block still allocated and unreachable when a program ends (leak checks), fails its test.
if [ "${SKIP_SANITIZE:-0}" != 1 ]; then
  sanitize_start=$SECONDS
  BUILD_DIR=build-asan bash scripts/build.sh -DSANITIZE=ON
  (cd build-asan &&
   ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1 \
   UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
   ctest --output-on-failure -j"$(nproc)")
  echo "sanitizers: build and suite took $((SECONDS - sanitize_start)) s"
fi
# --- end of sanitizers -----------------------------------------------------------------------
# Each libFuzzer target for 60 seconds (scripts/fuzz.sh, about 13 minutes with its build);
# SKIP_FUZZ=1 leaves it out.
if [ "${SKIP_FUZZ:-0}" != 1 ]; then
  bash scripts/fuzz.sh 60
fi
if [ "${SKIP_ARMHF:-0}" != 1 ]; then
  bash scripts/cross.sh
fi
