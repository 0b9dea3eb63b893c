#!/usr/bin/env bash
# Builds everything for the appliance (32-bit ARM, arm-linux-gnueabihf) in build-armhf/, -Os and
# dynamically linked against the C and C++ libraries, prints the stripped size of each program
# against its budget, and runs the whole test suite (unit and integration tests, simulators
# included) under qemu-arm. Ends with ctest's summary line; exits non-zero when a test fails or
# a program is over its budget. Extra arguments go to cmake's configure step.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
triplet=arm-linux-gnueabihf
build=build-armhf
jobs=${JOBS:-2}

# Stripped size budgets in KiB; simulators and stand-ins have none.
declare -A budget_kib=([qor]=192 [tovik_ac]=64 [fwimg]=48 [fwimg_ac]=48 [lattermark]=32)
budget_order=(qor tovik_ac fwimg fwimg_ac lattermark)

# --- packages -------------------------------------------------------------------------------
bash scripts/deps.sh

# (No "cmd | grep -q" here: under pipefail, grep's early exit can fail the pipeline.)
installed() {
  [ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" = "install ok installed" ]
}

if ! [[ $'\n'$(dpkg --print-foreign-architectures)$'\n' == *$'\n'armhf$'\n'* ]]; then
  echo "cross: adding the armhf architecture"
  dpkg --add-architecture armhf
fi

mapfile -t wanted < <(sed -e 's/#.*//' -e 's/[[:space:]]//g' scripts/deps-armhf.txt | grep -v '^$')
# The armhf twin of every library the native build uses (lib*-dev in scripts/deps/*.txt; not
# fuzz.txt, whose sanitizer runtimes serve the host's fuzzing build only).
mapfile -t native_dev < <(ls scripts/deps/*.txt | grep -v '/fuzz\.txt$' | xargs cat \
                          | sed -e 's/#.*//' -e 's/[[:space:]]//g' \
                          | grep -E '^lib.*-dev$' || true)
for p in "${native_dev[@]}"; do
  wanted+=("$p:armhf")
done
mapfile -t wanted < <(printf '%s\n' "${wanted[@]}" | sort -u)

missing=()
for p in "${wanted[@]}"; do
  installed "$p" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt_opts=(-o DPkg::Lock::Timeout=600)
  apt-get "${apt_opts[@]}" update -qq
  # An armhf library can be installed beside its native twin only when it is Multi-Arch: same;
  # any other would replace the native package, so it is left out (with a word).
  install=()
  for p in "${missing[@]}"; do
    ma=$(apt-cache show "$p" 2>/dev/null | awk '/^Multi-Arch:/ && m == "" { m = $2 } END { print m }')
    if [[ $p == *:armhf && $ma != same ]]; then
      echo "cross: $p cannot be installed beside the native package; skipped" >&2
      continue
    fi
    install+=("$p")
  done
  if [ ${#install[@]} -gt 0 ]; then
    echo "cross: installing ${install[*]}"
    # --no-remove: never give up a native package for an armhf one.
    apt-get "${apt_opts[@]}" install -y -qq --no-install-recommends --no-remove \
      "${install[@]}" >/dev/null
  fi
fi

# --- build ----------------------------------------------------------------------------------
# -Os, each function and object in a section of its own so that the linker drops unused ones.
size_flags="-Os -DNDEBUG -ffunction-sections -fdata-sections"
cmake -S . -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$top/cmake/armhf-toolchain.cmake" \
  -DCMAKE_BUILD_TYPE=MinSizeRel \
  -DCMAKE_C_FLAGS_MINSIZEREL="$size_flags" -DCMAKE_CXX_FLAGS_MINSIZEREL="$size_flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-Wl,--gc-sections -Wl,--as-needed" \
  -DWERROR=ON "$@" >/dev/null
cmake --build "$build" -j"$jobs"
echo "cross: packages and build took ${SECONDS} s"

# --- size report ----------------------------------------------------------------------------
over=()
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
echo "armhf size report (stripped, -Os, dynamic; budget in KiB):"
reported=0
for p in "${budget_order[@]}"; do
  f=$build/bin/$p
  [ -f "$f" ] || continue
  cp "$f" "$tmp/$p"
  $triplet-strip "$tmp/$p"
  bytes=$(stat -c %s "$tmp/$p")
  limit=$((budget_kib[$p] * 1024))
  if [[ $($triplet-readelf -l "$f") != *'Requesting program interpreter'* ]]; then
    verdict="NOT DYNAMIC"
    over+=("$p")
  elif [ "$bytes" -le "$limit" ]; then
    verdict=ok
  else
    verdict="OVER BUDGET"
    over+=("$p")
  fi
  awk -v p="$p" -v b="$bytes" -v l="${budget_kib[$p]}" -v v="$verdict" \
    'BEGIN { printf "  %-12s %9d bytes %7.1f KiB of %4d KiB  %s\n", p, b, b / 1024, l, v }'
  reported=$((reported + 1))
done
[ $reported -gt 0 ] || echo "  (no budgeted program built)"

# --- tests under qemu-arm -------------------------------------------------------------------
status=0
# A test without a time limit of its own gets 300 s: a hang under the emulator ends there.
(cd "$build" && ctest --output-on-failure --timeout 300 -j"$jobs") || status=$?
if [ ${#over[@]} -gt 0 ]; then
  echo "cross: over budget or not dynamically linked: ${over[*]}" >&2
  exit 1
fi
exit $status
