#!/usr/bin/env bash
# Captures the window in each of its states on a private X display and
# checks the pixels that must hold (tests/app/rendering_probe.py).
# Usage: rendering_test.sh <window_showcase.exe> <old player stand-in.exe> <out dir> [dpi] [zh|en]
# The captures stay in <out dir> as <state>.png. The showcase runs as
# Windows XP with a player older than 11 in place, so the hint screens come
# from the real media-player check and the main screen carries the XP note.
# With a dpi other than 96 the screens come from a prefix of their own whose
# LogPixels says that DPI, and the checks scale their places with it. The
# language is Chinese unless "en" is given; the checks hold in both.
set -euo pipefail
trap 'echo "rendering_test: \"$BASH_COMMAND\" failed with status $?" >&2' ERR
showcase=$1
player=$2
outdir=$3
export RENDER_DPI=${4:-96}
language=${5:-zh}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
default_prefix=$root/build/wine-x11
[ "$RENDER_DPI" = 96 ] || default_prefix=$root/build/wine-x11-$RENDER_DPI
export QUILL_WINEPREFIX=${QUILL_WINEPREFIX:-$default_prefix}
"$root/scripts/wine-prefix.sh" x11 >/dev/null
source "$root/scripts/wine-env.sh"
mkdir -p "$outdir"
if [ "$RENDER_DPI" != 96 ]; then
  "$WINELOADER" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$RENDER_DPI" \
    /f </dev/null >/dev/null 2>&1
fi

players="$WINEPREFIX/drive_c/Program Files/Windows Media Player"
mkdir -p "$players"
cp "$player" "$players/wmplayer.exe"
name=$(basename "$showcase")
"$WINELOADER" reg add "HKCU\\Software\\Wine\\AppDefaults\\$name" /v Version /t REG_SZ /d winxp /f \
  </dev/null >/dev/null 2>&1
# Wine answers version queries for any wmplayer.exe with its own built-in
# player's block unless told to read the file that is there.
"$WINELOADER" reg add "HKCU\\Software\\Wine\\AppDefaults\\$name\\DllOverrides" /v wmplayer.exe \
  /t REG_SZ /d native /f </dev/null >/dev/null 2>&1
"$WINESERVER" -w

# One display and one wineserver for every capture of this run.
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
cleanup() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  kill "$xvfb" 2>/dev/null || true
  wait 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY=":$display"
end=$((SECONDS + 60))
until [ -e "/tmp/.X11-unix/X$display" ]; do
  [ $SECONDS -lt $end ] || { echo "Xvfb did not start" >&2; exit 1; }
  sleep 0.1
done
"$WINESERVER" -p >/dev/null 2>&1 </dev/null || true

status=0
for state in main download failed hover hint details; do
  echo "== $state"
  if ! "$here/render_window.sh" "$outdir/$state.png" "$showcase" "$state" "$language"; then
    status=1
    continue
  fi
  /usr/bin/python3 "$here/rendering_probe.py" "$outdir/$state.png" "$state" "$RENDER_DPI" ||
    status=1
done
exit $status
