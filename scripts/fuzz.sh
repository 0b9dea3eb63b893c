#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/) with clang in build-fuzz/ and runs each for SECONDS
# (default 60), one after the other; fails when any target finds a crash, a leak, a
# time-out or runs out of memory. scripts/fuzz.sh [SECONDS] [TARGET...] (names without the
# fuzz_ prefix; all when none is given). FUZZ_RUNS=N runs each target for N executions
# instead of a time. Seeds come from fuzz/corpus/<target>/ and stay untouched; what the
# fuzzer adds goes to build-fuzz/corpus/<target>/, findings to build-fuzz/artifacts/.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
seconds=${1:-60}
shift || true
build=build-fuzz

CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -G Ninja -DFUZZ=ON -DBUILD_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target fuzz_targets

if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for f in "$build"/bin/fuzz_*; do targets+=("$(basename "$f" | sed 's/^fuzz_//')"); done
fi

# The longest input of each target: a reply or file several times the largest seed.
max_len() {
  case "$1" in
    wtp_list|op_replies|config_file) echo 32768 ;;
    tovik_reply) echo 600 ;;
    *) echo 4096 ;;
  esac
}

# AddressSanitizer keeps freed memory in quarantine (256 MiB by default), which would count
# against the fuzzer's memory limit: a smaller one leaves the limit to what the target holds.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=32}
mkdir -p "$build/artifacts"
failed=()
for t in "${targets[@]}"; do
  bin="$build/bin/fuzz_$t"
  [ -x "$bin" ] || { echo "fuzz: no target $t" >&2; failed+=("$t"); continue; }
  work="$build/corpus/$t"
  mkdir -p "$work"
  opts=(-rss_limit_mb=256 -timeout=10 -max_len="$(max_len "$t")" -close_fd_mask=2
        -print_final_stats=1 -artifact_prefix="$build/artifacts/$t-")
  if [ -n "${FUZZ_RUNS:-}" ]; then
    opts+=(-runs="$FUZZ_RUNS")
  else
    opts+=(-max_total_time="$seconds")
  fi
  [ -f "fuzz/dict/$t.dict" ] && opts+=(-dict="fuzz/dict/$t.dict")
  seeds=()
  [ -d "fuzz/corpus/$t" ] && seeds+=("fuzz/corpus/$t")
  echo "fuzz: $t"
  if ! "$bin" "${opts[@]}" "$work" "${seeds[@]}" >"$build/$t.log" 2>&1; then
    echo "fuzz: $t FAILED (log: $build/$t.log)" >&2
    tail -n 40 "$build/$t.log" >&2
    failed+=("$t")
  else
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec)' "$build/$t.log" | tr '\n' ' '
    echo
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: findings in ${failed[*]}" >&2
  exit 1
fi
echo "fuzz: ${#targets[@]} targets, no findings"
