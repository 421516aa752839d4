#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds Vorneck, writes the demo modules into build-run/demo-modules and
# starts the window there, so that its file list shows them. Without a
# display it extracts the demo modules with vorneck-cli instead and says how
# to see the window under Xvfb. Installs only what building and running need;
# the tests are left out of this build (scripts/test.sh builds them).
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
scripts/setup.sh

build="$root/build-run"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVORNECK_BUILD_TESTS=OFF -DVORNECK_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target vorneck vorneck-cli vorneck-make-demo

demo="$build/demo-modules"
out="$build/demo-samples"
mkdir -p "$demo"
"$build/demo/vorneck-make-demo" "$demo"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo
  echo "No display: extracting the demo modules with vorneck-cli into $out"
  # A fresh destination every time: the per-module directories of an
  # earlier run would be reported as "Unable to create directory".
  rm -rf "$out"
  mkdir -p "$out"
  status=0
  "$build/cli/vorneck-cli" -m -o "$out" "$demo" || status=$?
  echo
  echo "To see the window without a display, run it under Xvfb (scripts/setup.sh --test installs it):"
  echo "  (cd '$demo' && xvfb-run -a -s '-screen 0 1024x768x24' '$build/app/vorneck')"
  echo "or make screenshots of it with BUILD='$build' scripts/screenshots.sh."
  exit "$status"
fi

echo "Starting Vorneck in $demo (choose a destination such as $out)"
mkdir -p "$out"
cd "$demo"
exec "$build/app/vorneck"
