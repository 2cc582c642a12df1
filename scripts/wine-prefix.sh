#!/usr/bin/env bash
# Makes the project's Wine prefix once (inside the build folder, never
# ~/.wine): headless by default, no Mono/Gecko prompts, no crash
# dialogs, the Chinese UI font mapped to an installed CJK font.
# Usage: wine-prefix.sh [null|x11]   (graphics driver; default null)
set -euo pipefail
# Every step's output goes to /dev/null: a failing one must still say which.
trap 'echo "wine-prefix: \"$BASH_COMMAND\" failed with status $? in $WINEPREFIX" >&2' ERR
source "$(dirname "$0")/wine-env.sh"
driver=${1:-null}
marker="$WINEPREFIX/.quill-prefix-$driver"
[ -f "$marker" ] && exit 0

mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9
[ -f "$marker" ] && exit 0

boot() {
  rm -rf "$WINEPREFIX"
  quill_wine wineboot -i </dev/null >/dev/null 2>&1
}
# Once seen on a clean clone: a first boot that failed within seconds for no
# reason it left behind. A second boot of a fresh prefix is cheap.
boot || { echo "wine-prefix: wineboot failed in $WINEPREFIX, booting once more" >&2; boot; }
reg() { quill_wine reg add "$@" /f </dev/null >/dev/null 2>&1; }
reg 'HKCU\Software\Wine\Fonts\Replacements' /v 'Microsoft YaHei' /t REG_SZ /d 'WenQuanYi Micro Hei'
reg 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0
# Without a window manager every hide or destroy would wait 2 s for one.
reg 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N
if [ "$driver" = null ]; then
  # Windows are created, shown and receive messages without any display.
  reg 'HKCU\Software\Wine\Drivers' /v Graphics /t REG_SZ /d null
fi
"$WINESERVER" -w
touch "$marker"
