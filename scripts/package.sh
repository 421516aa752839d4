#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the two Debian packages, vorneck-cli and vorneck, with the hardening
# flags Debian builds its own packages with, and checks them with lintian,
# which must report no error and no warning.
#   scripts/package.sh [BUILD_DIR]   (default build-package; the .deb files land there)
# Extra CMake options can come in VORNECK_PACKAGE_OPTIONS, for example
# VORNECK_PACKAGE_OPTIONS=-DVORNECK_BUILD_UI=OFF for the command line alone.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --test
build="${1:-build-package}"

# fortify, the stack protector, relro and bind-now (and PIE) for every
# object and program; "None" leaves the optimisation to these flags.
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
export CXXFLAGS="$CPPFLAGS $CXXFLAGS" LDFLAGS

rm -rf "$build"
# shellcheck disable=SC2086
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
  -DVORNECK_BUILD_TESTS=OFF -DVORNECK_BUILD_BENCH=OFF ${VORNECK_PACKAGE_OPTIONS:-}
cmake --build "$build" -j "$(nproc)"
(cd "$build" && cpack -G DEB)

debs=("$build"/*.deb)
for deb in "${debs[@]}"; do
  echo "== $(basename "$deb")"
  dpkg-deb --field "$deb" Package Version Depends Recommends Suggests
done
echo "== lintian"
lintian --fail-on error,warning --display-info --tag-display-limit 0 "${debs[@]}"
echo "lintian: no errors, no warnings"
