#!/usr/bin/env bash
# Shows a window of this program on the caller's X display and captures it.
# Usage: render_window.sh <out.png> <program.exe> [arguments...]
# The display (DISPLAY, 1024 x 768) and the wineserver of the Wine prefix
# with the X11 driver (QUILL_WINEPREFIX) are the caller's and stay up
# (rendering_test.sh captures every screen on one display): this waits until
# the last capture's window is gone, runs the program until its window is on
# the screen, captures the whole screen to out.png and ends the program. A
# 482 x 273 window centred 20 pixels above the middle sits at (271, 227);
# with RENDER_DPI (the prefix's LogPixels) the window is that much larger.
set -euo pipefail
out=$1
shift
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/wine-env.sh"

program=""
# SIGKILL: the window goes with the process's X connection, whatever the
# program would do about a gentler signal.
cleanup() {
  [ -n "$program" ] && kill -9 "$program" 2>/dev/null && wait "$program" 2>/dev/null || true
}
trap cleanup EXIT

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
window_on_screen() {
  local pixel
  pixel=$(xwd -root -silent 2>/dev/null |
      /usr/bin/convert xwd:- -crop "1x1$probe" -depth 8 txt:- 2>/dev/null || true)
  [[ $pixel == *"$colour"* ]]
}
# The last capture's window must be gone first.
end=$((SECONDS + 60))
while window_on_screen; do
  [ $SECONDS -lt $end ] || { echo "the last window did not go" >&2; exit 1; }
  sleep 0.05
done

started=$(date +%s%N)
"$WINELOADER" "$@" >/dev/null 2>&1 </dev/null &
program=$!

shown=""
end=$((SECONDS + 60))
while [ $SECONDS -lt $end ]; do
  if window_on_screen; then
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
