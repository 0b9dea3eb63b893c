#!/usr/bin/env bash
# Builds the Debian packages of a built tree with CPack, from the same install rules as
# cmake --install: wlc-tools (the five programs, their manual pages, the configuration schemas,
# qor's completion) and wlc-tools-sim (the simulators), for the tree's architecture.
#
#   bash scripts/package.sh [BUILD_DIR]     (default build/; build-armhf/ gives armhf packages)
#
# The tree must be built first (scripts/build.sh, scripts/cross.sh). The packages land in
# BUILD_DIR/packages/; lintian's verdict on each follows.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
build=${1:-build}
out=$build/packages
cmake --build "$build" -j"${JOBS:-2}"
rm -rf "$out"
mkdir -p "$out"
arch=$(sed -n 's/^set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
if [ "$arch" = armhf ]; then
  # dpkg-shlibdeps reads the armhf libraries with the cross objdump.
  export DEB_HOST_ARCH=armhf DEB_HOST_GNU_TYPE=arm-linux-gnueabihf DEB_HOST_MULTIARCH=arm-linux-gnueabihf
fi
(cd "$build" && cpack -G DEB -B "$top/$out" >/dev/null)
rm -rf "$out/_CPack_Packages"
for deb in "$out"/*.deb; do
  echo "== $deb"
  dpkg-deb -f "$deb" Package Version Architecture Depends
  if command -v lintian >/dev/null; then
    lintian --no-tag-display-limit "$deb" || true
  fi
done
