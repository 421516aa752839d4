#!/usr/bin/env bash
# Screenshots of Vorneck's windows under Xvfb, driven with the keyboard as a
# user would: the main window at start on the demo modules, the directory
# chooser for the source (alone and over the main window) and for the
# destination, the About window, and the main window after selecting every
# module and running.
#   scripts/screenshots.sh [OUTPUT_DIR]     (default: docs)
# Needs a build in build/ (scripts/run.sh or cmake) or BUILD=dir; needs
# xvfb, xauth, xdotool and imagemagick (scripts/setup.sh --test installs them).
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
build="${BUILD:-$root/build}"
out="$(realpath -m "${1:-$root/docs}")"
mkdir -p "$out"

for tool in xvfb-run xdotool import; do
  command -v "$tool" >/dev/null || { echo "missing: $tool (run scripts/setup.sh --test)" >&2; exit 1; }
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
# Demo modules with a few sub-directories for the chooser to show, and a
# destination that the main window offers as the user's home.
mkdir -p "$work/modules/chiptunes" "$work/modules/Drums" "$work/modules/pads" "$work/samples"
"$build/demo/vorneck-make-demo" "$work/modules" >/dev/null

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

(cd "$work/modules" && HOME="$work/samples" exec "$build/app/vorneck") &
pid=$!
main="$(window 'Vorneck V2.00')"
# Without a window manager nothing gives the main window the keyboard back.
focus_main() { xdotool windowfocus --sync "$main" 2>/dev/null || true; sleep 0.2; }
focus_main
shot "$main" main-window.png

keys ctrl+l
chooser="$(window 'Please select source directory\.')"
shot "$chooser" chooser_source.png
eval "$(xdotool getwindowgeometry --shell "$main")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/chooser_over_main.png"
echo "$out/chooser_over_main.png"
keys alt+c

focus_main
keys ctrl+s
chooser="$(window 'Please select destination directory\.')"
shot "$chooser" chooser_destination.png
keys alt+c

focus_main
keys alt+h a
about="$(window 'About Vorneck')"
shot "$about" about.png
keys alt+o

focus_main

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
