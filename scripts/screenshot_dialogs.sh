#!/usr/bin/env bash
# Screenshots of the directory chooser (for the source and for the
# destination) and of the About window, opened from the main window with the
# keyboard as a user would, under Xvfb. Writes into docs/:
#   chooser_source.png, chooser_destination.png, about.png   the windows alone
#   chooser_over_main.png                                    the chooser over the main window
# Usage: scripts/screenshot_dialogs.sh [build-directory]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
build="${1:-build}"

if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j 2 --target vorneck vorneck-make-demo

# A fixed place, so that the paths in the pictures stay the same from run to run.
work="${TMPDIR:-/tmp}/vorneck-shots"
rm -rf "$work"
trap 'rm -rf "$work"' EXIT
# A source directory of demo modules with a few sub-directories, and a
# destination directory that the main window offers as the user's home.
mkdir -p "$work/modules/chiptunes" "$work/modules/Drums" "$work/modules/pads" "$work/samples/out"
"$build/demo/vorneck-make-demo" "$work/modules" >/dev/null
mkdir -p docs

export VORNECK="$root/$build/app/vorneck" DOCS="$root/docs" WORK="$work"
xvfb-run -a -s "-screen 0 1024x768x24" bash -euo pipefail -c '
  cd "$WORK/modules"
  HOME="$WORK/samples/out" "$VORNECK" &
  app=$!
  find_window() {
    timeout 20 xdotool search --sync --onlyvisible --name "^$1\$" | head -n 1 ||
      { echo "screenshot_dialogs: no window \"$1\" came up" >&2; kill "$app"; exit 1; }
  }
  settle() { sleep 0.7; }
  # Without a window manager nothing gives the main window the keyboard.
  focus_main() { xdotool windowfocus --sync "$main"; sleep 0.2; }

  main=$(find_window "Vorneck V2.00")
  settle

  focus_main
  xdotool key ctrl+l
  chooser=$(find_window "Please select source directory\\.")
  settle
  import -window "$chooser" "$DOCS/chooser_source.png"
  eval "$(xdotool getwindowgeometry --shell "$main")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$DOCS/chooser_over_main.png"
  xdotool key alt+c
  settle

  focus_main
  xdotool key ctrl+s
  chooser=$(find_window "Please select destination directory\\.")
  settle
  import -window "$chooser" "$DOCS/chooser_destination.png"
  xdotool key alt+c
  settle

  focus_main
  xdotool key alt+h
  sleep 0.3
  xdotool key a
  about=$(find_window "About Vorneck")
  settle
  import -window "$about" "$DOCS/about.png"
  xdotool key alt+o
  settle

  focus_main
  xdotool key ctrl+c
  wait "$app"
'
echo "Screenshots written to docs/: chooser_source.png chooser_destination.png chooser_over_main.png about.png"
