#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test natively, then the same again for the
# appliance (armhf, under qemu-arm, with the size report: scripts/cross.sh). On the way it
# builds the programs alone in build-notests/ (tests off) and stages them as the appliance gets
# them, runs the whole suite once more under the sanitizers in build-asan/ (SKIP_SANITIZE=1
# leaves that out) and each fuzz target for a minute (SKIP_FUZZ=1 leaves that out; SKIP_ARMHF=1
# leaves out the armhf run).
#
# Every stage runs even when an earlier one failed (a stage whose build failed is reported as
# such); the run ends with one summary: each stage's result and time, then the summary lines of
# each ctest run. The exit status is non-zero when any stage failed. Each stage's output is also
# kept in build-logs/<stage>.log.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
logs=$top/build-logs
rm -rf "$logs"
mkdir -p "$logs"

stage_names=()
stage_results=()
stage_times=()
declare -A result_of=()

# run_stage NAME NEEDS COMMAND...: runs COMMAND (errexit on, output shown and kept in
# build-logs/NAME.log) unless the stage NEEDS (a name, or - for none) did not pass. A build
# runs whatever deps said: what it lacks shows in its own failure.
run_stage() {
  local name=$1 needs=$2
  shift 2
  local start=$SECONDS result
  echo "=== stage $name ==="
  if [ "$needs" != - ] && [ "${result_of[$needs]:-}" != passed ]; then
    result="not run (needs $needs)"
    : >"$logs/$name.log"
  else
    ( set -e; "$@" ) 2>&1 | tee "$logs/$name.log"
    local rc=${PIPESTATUS[0]}
    if [ "$rc" -eq 0 ]; then result=passed; else result="failed (exit $rc)"; fi
  fi
  result_of[$name]=$result
  stage_names+=("$name")
  stage_results+=("$result")
  stage_times+=("$((SECONDS - start))")
  echo "=== stage $name: $result in $((SECONDS - start)) s ==="
}

skipped() {
  result_of[$1]="skipped ($2)"
  stage_names+=("$1")
  stage_results+=("skipped ($2)")
  stage_times+=(0)
}

ctest_native() { cd build && ctest --output-on-failure -j"$(nproc)"; }

# The whole suite, unit and integration tests, with every program, simulator and test program
# built with AddressSanitizer and UndefinedBehaviorSanitizer: any finding, and any block still
# allocated and unreachable when a program ends (leak checks), fails its test.
ctest_sanitizers() {
  cd build-asan
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --output-on-failure -j"$(nproc)"
}

run_stage deps - bash scripts/deps.sh
run_stage build - bash scripts/build.sh
# The programs alone, as the appliance gets them: a tree without the tests, staged with DESTDIR.
run_stage install - bash -c \
  'BUILD_DIR=build-notests bash scripts/build.sh -DBUILD_TESTS=OFF &&
   python3 tests/install/test_install.py build-notests'
run_stage native build ctest_native
if [ "${SKIP_SANITIZE:-0}" != 1 ]; then
  run_stage sanitize-build - env BUILD_DIR=build-asan bash scripts/build.sh -DSANITIZE=ON
  run_stage sanitize sanitize-build ctest_sanitizers
else
  skipped sanitize SKIP_SANITIZE=1
fi
# Each libFuzzer target for 60 seconds (scripts/fuzz.sh, about 13 minutes with its build).
if [ "${SKIP_FUZZ:-0}" != 1 ]; then
  run_stage fuzz - bash scripts/fuzz.sh 60
else
  skipped fuzz SKIP_FUZZ=1
fi
if [ "${SKIP_ARMHF:-0}" != 1 ]; then
  run_stage armhf - bash scripts/cross.sh
else
  skipped armhf SKIP_ARMHF=1
fi

# --- summary ----------------------------------------------------------------------------------
failed=0
echo
echo "==================== summary ===================="
for i in "${!stage_names[@]}"; do
  printf '%-16s %-36s %6d s\n' "${stage_names[$i]}" "${stage_results[$i]}" "${stage_times[$i]}"
  case ${stage_results[$i]} in
    passed|skipped*) ;;
    *) failed=1 ;;
  esac
done
for s in native sanitize armhf; do
  [ -s "$logs/$s.log" ] || continue
  echo "--- ctest, $s:"
  # The summary line, and the list of failed tests after it when there is one.
  awk '/tests passed, .* tests failed out of/ { p = 1 } p && !/^Errors while running CTest/ && NF' \
    "$logs/$s.log"
done
if [ -s "$logs/armhf.log" ]; then
  echo "--- armhf sizes:"
  grep -E ' KiB of +[0-9]+ KiB' "$logs/armhf.log" || true
fi
if [ $failed -ne 0 ]; then
  echo "test.sh: a stage failed (outputs in build-logs/)"
fi
exit $failed
