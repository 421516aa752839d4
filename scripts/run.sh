#!/usr/bin/env bash
# Builds Vorneck, writes the demo modules into build/demo-modules and starts
# the window there, so that its file list shows them. Without a display it
# extracts the demo modules with vorneck-cli instead and says how to see the
# window under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
scripts/setup.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target vorneck vorneck-cli vorneck-make-demo

demo="$PWD/build/demo-modules"
out="$PWD/build/demo-samples"
mkdir -p "$demo" "$out"
build/demo/vorneck-make-demo "$demo"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo
  echo "No display: extracting the demo modules with vorneck-cli into $out"
  build/cli/vorneck-cli -m -o "$out" "$demo"
  echo
  echo "To see the window without a display, run it under Xvfb:"
  echo "  (cd '$demo' && xvfb-run -a -s '-screen 0 1024x768x24' '$PWD/build/app/vorneck')"
  echo "or make screenshots of it with scripts/screenshots.sh."
  exit 0
fi

echo "Starting Vorneck in $demo (choose a destination such as $out)"
cd "$demo"
exec "$root/build/app/vorneck"
