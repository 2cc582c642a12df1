#!/bin/bash
# Runs once inside the new guest image (its first boot, writable): makes the
# Wine prefix that every later boot uses from a throw-away snapshot, with the
# same settings as the project's own prefix.
set -u
export HOME=/root WINEPREFIX=/root/.wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
  LANG=C.UTF-8 DISPLAY=:1
up() { cut -d' ' -f1 /proc/uptime; }
Xvfb :1 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 1 100); do [ -e /tmp/.X11-unix/X1 ] && break; sleep 0.2; done
rm -rf "$WINEPREFIX"
start=$(up)
wineboot -i </dev/null >/dev/null 2>&1 || { echo "wineboot -i failed"; exit 1; }
reg() { wine reg add "$@" /f </dev/null >/dev/null 2>&1 || echo "reg add $1 failed"; }
# Without the replacement the Chinese texts draw as boxes.
reg 'HKCU\Software\Wine\Fonts\Replacements' /v 'Microsoft YaHei' /t REG_SZ /d 'WenQuanYi Micro Hei'
reg 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0
# Without a window manager every hide or destroy would wait 2 s for one.
reg 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N
wineserver -w
echo "wine prefix made in $(awk "BEGIN{print $(up) - $start}") s: $(du -sm "$WINEPREFIX" | cut -f1) MiB"
touch "$WINEPREFIX/.quill-ready"
kill "$xvfb"
sync
