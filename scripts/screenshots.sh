#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Screenshots of Vorneck's windows under Xvfb, driven with the keyboard as a
# user would: the main window at start on the demo modules, the directory
# chooser for the source (alone and over the main window) and for the
# destination, the About window, and the main window after selecting every
# module and running.
#   scripts/screenshots.sh [OUTPUT_DIR]     (default: docs)
# Needs a build in build/ (scripts/run.sh or cmake) or BUILD=dir; needs
# xvfb, xauth, xdotool and imagemagick (scripts/setup.sh --test installs them).
#   WM=openbox     runs the windows under openbox (installed with them too);
#                  the pictures then show each window with its frame.
#   SCALE=2        draws the windows at that scale (QT_SCALE_FACTOR), on a
#                  screen as many times larger.
#
# Everything it makes lives in a private temporary directory, and the X
# server takes a display number no other server uses and admits only this
# script's clients, so several users of one machine can run it at once.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
build="${BUILD:-$root/build}"
out="$(realpath -m "${1:-$root/docs}")"
mkdir -p "$out"

wm="${WM:-}"
scale="${SCALE:-1}"
case "$scale" in ''|*[!0-9]*) echo "SCALE must be a whole number" >&2; exit 2 ;; esac
case "$wm" in ''|none) wm= ;; openbox) ;; *) echo "WM must be openbox or none" >&2; exit 2 ;; esac

for tool in Xvfb xauth xdotool import ${wm:+$wm} ${wm:+xprop} ${wm:+xwininfo}; do
  command -v "$tool" >/dev/null || { echo "missing: $tool (run scripts/setup.sh --test)" >&2; exit 1; }
done
[ -x "$build/app/vorneck" ] || cmake --build "$build" --target vorneck vorneck-make-demo

work="$(mktemp -d "${TMPDIR:-/tmp}/vorneck-screenshots.XXXXXX")"
server=
pid=
wmpid=
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi
  if [ -n "$wmpid" ]; then kill "$wmpid" 2>/dev/null || true; fi
  if [ -n "$server" ]; then kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# The X server, on the first display number that is free (it reports the
# number it took on a file descriptor), with a cookie of our own.
export XAUTHORITY="$work/Xauthority"
cookie="$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')"
# The server reads every cookie in its file, whatever display it names.
: >"$XAUTHORITY"
: >"$work/server-auth"
xauth -q -f "$work/server-auth" add ":0" . "$cookie"
Xvfb -displayfd 3 -auth "$work/server-auth" -nolisten tcp -screen 0 "$((1024 * scale))x$((768 * scale))x24" \
  3>"$work/display" >"$work/xvfb.log" 2>&1 &
server=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  kill -0 "$server" 2>/dev/null || { cat "$work/xvfb.log" >&2; echo "Xvfb did not start" >&2; exit 1; }
  sleep 0.1
done
number="$(head -1 "$work/display")"
[ -n "$number" ] || { echo "Xvfb reported no display number" >&2; exit 1; }
export DISPLAY=":$number"
xauth -q add "$DISPLAY" . "$cookie"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
export QT_SCALE_FACTOR="$scale"

if [ -n "$wm" ]; then
  "$wm" >"$work/wm.log" 2>&1 &
  wmpid=$!
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
  done
fi

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

# The window's rectangle on the screen with the frame the window manager
# put around it, as WxH+X+Y.
framed() {
  local x y w h l r t b
  x="$(xwininfo -id "$1" | awk '/Absolute upper-left X/ {print $4}')"
  y="$(xwininfo -id "$1" | awk '/Absolute upper-left Y/ {print $4}')"
  w="$(xwininfo -id "$1" | awk '/Width:/ {print $2}')"
  h="$(xwininfo -id "$1" | awk '/Height:/ {print $2}')"
  read -r l r t b < <(xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/.*= *//; s/,//gp')
  echo "$((w + ${l:-0} + ${r:-0}))x$((h + ${t:-0} + ${b:-0}))+$((x - ${l:-0}))+$((y - ${t:-0}))"
}

shot() {  # window id, file name
  sleep 0.4
  if [ -z "$wm" ]; then
    import -window "$1" "$out/$2"
  else
    import -window root -crop "$(framed "$1")" +repage "$out/$2"
  fi
  echo "$out/$2"
}

keys() { xdotool key --clearmodifiers --delay 60 "$@"; sleep 0.2; }

(cd "$work/modules" && HOME="$work/samples" exec "$build/app/vorneck") &
pid=$!
main="$(window 'Vorneck V2.00')"
# The program makes its window the active one; after a dialog closes the
# main window is active again by itself, with or without a window manager.
sleep 0.5
shot "$main" main-window.png

keys ctrl+l
chooser="$(window 'Please select source directory\.')"
shot "$chooser" chooser_source.png
if [ -z "$wm" ]; then
  eval "$(xdotool getwindowgeometry --shell "$main")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/chooser_over_main.png"
else
  import -window root -crop "$(framed "$main")" +repage "$out/chooser_over_main.png"
fi
echo "$out/chooser_over_main.png"
keys alt+c

keys ctrl+s
chooser="$(window 'Please select destination directory\.')"
shot "$chooser" chooser_destination.png
keys alt+c

keys alt+h a
about="$(window 'About Vorneck')"
shot "$about" about.png
keys alt+o

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
