#!/usr/bin/env bash
# Screenshots of Vorneck's windows under Xvfb, driven with the keyboard as a
# user would: the main window at start on the demo modules, and after
# selecting them all and running.
#   scripts/screenshots.sh [OUTPUT_DIR]     (default: docs)
# Needs a build in build/ (scripts/run.sh or cmake) or BUILD=dir; needs
# xvfb, xauth, xdotool and imagemagick (scripts/setup.sh installs them).
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
build="${BUILD:-$root/build}"
out="$(realpath -m "${1:-$root/docs}")"
mkdir -p "$out"

for tool in xvfb-run xdotool import; do
  command -v "$tool" >/dev/null || { echo "missing: $tool (run scripts/setup.sh)" >&2; exit 1; }
done
[ -x "$build/app/vorneck" ] || cmake --build "$build" --target vorneck vorneck-make-demo

if [ -z "${VORNECK_SCREENSHOT_INNER:-}" ]; then
  export VORNECK_SCREENSHOT_INNER=1 BUILD="$build"
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$out"
fi

# A fixed place, so that the pictures show the same paths every time.
work="${TMPDIR:-/tmp}/vorneck-screenshots"
rm -rf "$work"
mkdir -p "$work"
pid=
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
"$build/demo/vorneck-make-demo" "$work/modules" >/dev/null
mkdir -p "$work/samples"

# Waits for a window with this exact title and prints its id.
window() {
  local id
  for _ in $(seq 100); do
    id="$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1 || true)"
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  echo "no window titled '$1'" >&2
  return 1
}

shot() {  # window id, file name
  sleep 0.4
  import -window "$1" "$out/$2"
  echo "$out/$2"
}

keys() { xdotool key --clearmodifiers --delay 60 "$@"; sleep 0.2; }

(cd "$work/modules" && exec "$build/app/vorneck") &
pid=$!
main="$(window 'Vorneck V2.00')"
xdotool windowfocus --sync "$main" 2>/dev/null || true
shot "$main" main-window.png

# Select every module, point the destination at a fresh directory, run.
keys alt+s a
keys alt+f i
xdotool type --delay 20 "$work/samples"
keys alt+n
sleep 1
shot "$main" main-window-after-run.png

keys ctrl+c
wait "$pid" 2>/dev/null || true
pid=
