#!/usr/bin/env bash
# Shows a window of this program on the caller's X display and captures it.
# Usage: render_window.sh <out.png> <program.exe> [arguments...]
# The display (DISPLAY, 1024 x 768) and the wineserver of the Wine prefix
# with the X11 driver (QUILL_WINEPREFIX) are the caller's and stay up
# (rendering_test.sh captures every screen on one display): this waits until
# the last capture's window is gone, runs the program until its window is on
# the screen and the program has created the file QUILL_SHOWCASE_READY names
# (its steps are done and painted), captures the whole screen to out.png and
# ends the program. A 482 x 273 window centred 20 pixels above the middle
# sits at (271, 227); with RENDER_DPI (the prefix's LogPixels) the window is
# that much larger.
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

# The program creates this file once its window shows what is to be captured.
ready="$out.ready"
rm -f "$ready"
started=$(date +%s%N)
QUILL_SHOWCASE_READY="Z:${ready//\//\\}" "$WINELOADER" "$@" >/dev/null 2>&1 </dev/null &
program=$!

end=$((SECONDS + 60))
until [ -e "$ready" ] && window_on_screen; do
  [ $SECONDS -lt $end ] || { echo "the window was not ready within a minute" >&2; exit 1; }
  kill -0 "$program" 2>/dev/null || { echo "the program ended before its window was ready" >&2; exit 1; }
  sleep 0.05
done
echo "window ready after $(( ($(date +%s%N) - started) / 1000000 )) ms"
rm -f "$ready"
xwd -root -silent | /usr/bin/convert xwd:- "$out"
echo "captured $out"
