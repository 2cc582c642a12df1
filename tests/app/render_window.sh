#!/usr/bin/env bash
# Shows a window of this program on a private X display and captures it.
# Usage: render_window.sh <out.png> <program.exe> [arguments...]
# Starts Xvfb on a free display and a Wine prefix with the X11 driver
# (build/wine-x11, or QUILL_WINEPREFIX), runs the program until the window is
# on the screen, captures the whole screen to out.png, ends the program, and
# stops everything it started. The screen is 1024 x 768, so a 482 x 273
# window centred 20 pixels above the middle sits at (271, 227); with
# RENDER_DPI (the prefix's LogPixels) the window is that much larger.
set -euo pipefail
out=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
export QUILL_WINEPREFIX=${QUILL_WINEPREFIX:-$root/build/wine-x11}
"$root/scripts/wine-prefix.sh" x11 >/dev/null
source "$root/scripts/wine-env.sh"

display=""
for n in $(seq 91 140); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
    display=$n
    break
  fi
done
[ -n "$display" ] || { echo "no free X display" >&2; exit 1; }

Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
program=""
cleanup() {
  [ -n "$program" ] && kill "$program" 2>/dev/null || true
  "$WINESERVER" -k >/dev/null 2>&1 || true
  kill "$xvfb" 2>/dev/null || true
  wait 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY=":$display"
for _ in $(seq 1 50); do
  [ -e "/tmp/.X11-unix/X$display" ] && break
  sleep 0.1
done
"$WINESERVER" -p >/dev/null 2>&1 </dev/null || true

started=$(date +%s%N)
"$WINELOADER" "$@" >/dev/null 2>&1 </dev/null &
program=$!

# The window is up when its top-left border pixel has the border colour
# (at 96 DPI), or the panel colour shows 100 pixels (scaled) inside it.
dpi=${RENDER_DPI:-96}
scaled() { echo $(( ($1 * dpi + 48) / 96 )); }
left=$(( (1024 - $(scaled 482)) / 2 ))
top=$(( (768 - $(scaled 273)) / 2 - 20 ))
probe="+$left+$top" colour="(171,171,171)"
if [ "$dpi" != 96 ]; then
  probe="+$((left + $(scaled 100)))+$((top + $(scaled 100)))" colour="(249,249,249)"
fi
shown=""
for _ in $(seq 1 300); do
  pixel=$(xwd -root -silent 2>/dev/null |
      /usr/bin/convert xwd:- -crop "1x1$probe" -depth 8 txt:- 2>/dev/null || true)
  if [[ $pixel == *"$colour"* ]]; then
    shown=$(date +%s%N)
    break
  fi
  sleep 0.05
done
[ -n "$shown" ] || { echo "window never appeared" >&2; exit 1; }
echo "window shown after $(( (shown - started) / 1000000 )) ms"
# Let the first paints and any scripted steps of the program finish.
sleep "${RENDER_SETTLE_SECONDS:-1.5}"
xwd -root -silent | /usr/bin/convert xwd:- "$out"
echo "captured $out"
