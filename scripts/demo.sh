#!/usr/bin/env bash
# The installer's main job against the bundled local package service.
#   scripts/demo.sh           a first run (download, full setup, suite installed),
#                             then a second run that finds the suite installed
#   scripts/demo.sh resume    a download closed half-way, then resumed by a new run
# With a usable X display the window appears there and you press Install driver
# yourself; without one the demo runs on a private Xvfb display, presses the
# button itself and saves a screenshot of each screen it passes (and, before
# the first run, of the main screen on a 150 % display and of the main and
# downloading screens in each language).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
variant=${1:-first-run}
case "$variant" in first-run | resume) ;; *) echo "usage: $0 [resume]" >&2; exit 2 ;; esac

scripts/install-deps.sh
scripts/build.sh >/dev/null

work=$root/build/demo
stage=$work/program
shots=$work/screenshots-$variant
mkdir -p "$work"
rm -rf "$stage" "$shots"
mkdir -p "$stage" "$shots"
bin=$root/build/test
port=18080  # the service address the test build of the program carries
winpath() { local p=${1//\//\\}; echo "Z:$p"; }

# The program as a user gets it: the installer, its configuration and the
# driver installer it names, in one folder.
cp "$bin/app/QuillnestMini.exe" "$bin/tools/demo/demo_driver.exe" "$stage/"
printf 'Driver=demo_driver.exe\r\nDriverParams=/S\r\nChannel=demo\r\n' >"$stage/SetupConfig.txt"

export QUILL_WINEPREFIX=$root/build/wine-demo
scripts/wine-prefix.sh x11 >/dev/null
source scripts/wine-env.sh
export QUILL_DEMO_LOG
QUILL_DEMO_LOG=$(winpath "$work/programs-$variant.log")
rm -f "$work/programs-$variant.log"

interactive=no
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  interactive=yes
fi

pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  "$WINESERVER" -k >/dev/null 2>&1 || true
  wait 2>/dev/null || true
}
trap cleanup EXIT

if [ "$interactive" = no ]; then
  display=""
  for n in $(seq 71 120); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=$n; break; fi
  done
  [ -n "$display" ] || { echo "no free X display for Xvfb" >&2; exit 1; }
  Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
  export DISPLAY=":$display"
  for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
fi
# Wine's desktop process starts with the first Wine program and keeps the
# display it found, so every Wine program runs after the display is set.
"$WINESERVER" -k >/dev/null 2>&1 || true
"$WINESERVER" -p </dev/null >/dev/null 2>&1 || true

# A fresh machine for the demo: no suite, no resume record, no setup file.
reg_delete() { "$WINELOADER" reg delete "$1" /f >/dev/null 2>&1 || true; }
fresh_machine() {
  reg_delete 'HKLM\Software\Wow6432Node\Quillnest'
  reg_delete 'HKLM\Software\Quillnest'
  reg_delete 'HKCU\Software\VeziDazedera'
  reg_delete 'HKCU\Software\QuillnestMini'
  rm -rf "$WINEPREFIX/drive_c/Program Files/Quillnest" "$WINEPREFIX/drive_c/Program Files (x86)/Quillnest"
  rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/Travik "$WINEPREFIX"/drive_c/users/*/Application\ Data/Travik 2>/dev/null || true
}
fresh_machine

# The demo's driver and setup are signed by the tests' publisher, whose key
# the test build pins; its CA is trusted in the demo's prefix only.
pki=$root/build/test-pki
"$WINELOADER" "$bin/tests/trust_test_ca.exe" "$(winpath "$pki/ca.der")" </dev/null ||
  { echo "the demo's CA could not be trusted in $WINEPREFIX" >&2; exit 1; }
signer() {
  local verified
  verified=$(osslsigncode verify -in "$1" -CAfile "$pki/ca.pem" 2>&1) || verified="(not verified) $verified"
  sed -n 's/^[[:space:]]*Subject: //p' <<<"$verified" | head -n 1
}

shot() {
  [ "$interactive" = yes ] && return 0
  import -window root "$shots/$1.png" 2>/dev/null && echo "  screenshot: $shots/$1.png"
}
press() { "$WINELOADER" "$bin/tools/demo/demo_press.exe" "$@" </dev/null; }
start_installer() {  # [switches...]
  (cd "$stage" && exec "$WINELOADER" "$stage/QuillnestMini.exe" "$@" </dev/null >/dev/null 2>&1) &
  installer=$!
  pids+=($installer)
}
# The screen's DPI, as a user sets it in the display settings. Wine reads it
# when its processes start, so the server starts afresh.
set_dpi() {
  "$WINELOADER" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f \
    </dev/null >/dev/null 2>&1
  "$WINESERVER" -k >/dev/null 2>&1 || true
  "$WINESERVER" -p </dev/null >/dev/null 2>&1 || true
}

if [ "$interactive" = no ] && [ "$variant" = first-run ]; then
  echo
  echo "== the installer on a 150 % display (144 DPI), closed again"
  set_dpi 144
  start_installer
  press wait
  sleep 1
  shot 0-main-screen-150-percent
  press close
  wait "$installer" || true
  set_dpi 96
fi

service_log=""
start_service() {  # fault, log file
  service_log=$2
  rm -f "$service_log"
  (exec "$WINELOADER" "$bin/tools/demo_service/demo_service.exe" "$port" \
    "$(winpath "$bin/tools/demo/demo_setup.exe")" "$1" "$(winpath "$service_log")" \
    >/dev/null 2>&1) &
  service=$!
  pids+=($service)
  for _ in $(seq 1 100); do
    grep -q 'demo package service on' "$service_log" 2>/dev/null && break
    sleep 0.1
  done
}
stop_service() {
  kill -KILL "$service" 2>/dev/null || true
  wait "$service" 2>/dev/null || true
}
file_requests() { grep -c 'GET /downloads/' "$service_log" || true; }
# Pressing Install driver, then waiting until the download has shown its
# progress for a moment (seconds, 1.5 unless given).
press_install_and_wait_for_download() {
  local before
  before=$(file_requests)
  press click 1005
  for _ in $(seq 1 300); do [ "$(file_requests)" -gt "$before" ] && break; sleep 0.1; done
  sleep "${1:-1.5}"
}

if [ "$interactive" = no ] && [ "$variant" = first-run ]; then
  echo
  echo "== the main and downloading screens in Chinese and in English, closed again"
  # Each language downloads from the start on a line of 1 MiB/s, read 1 MiB
  # at a time: after 3 s the line has a speed, and the window is closed
  # while the reply pauses three quarters in.
  for language in zh en; do
    start_service slow-line "$work/service-languages.log"
    start_installer /lang "$language"
    press wait
    sleep 1
    shot "main-screen-$language"
    press_install_and_wait_for_download 3
    shot "downloading-$language"
    press close
    wait "$installer" || true
    stop_service
    fresh_machine
  done
  rm -f "$work/programs-$variant.log"
fi

fault=slow
[ "$variant" = resume ] && fault=stall
# LINE_KIBPS=32 (make demo LINE_KIBPS=32): run 1 downloads over a line of
# that many KiB/s, a 256 kbit/s link for 32.
[ "$variant" = first-run ] && [ -n "${LINE_KIBPS:-}" ] && fault=slow-line-$LINE_KIBPS
start_service "$fault" "$work/service-$variant.log"
head -n 2 "$service_log"

echo
echo "== run 1: the installer on a machine without the suite"
start_installer
if [ "$interactive" = yes ]; then
  echo "The window is on your display: press Install driver (安装驱动)."
  wait "$installer" || true
else
  press wait
  sleep 1
  shot 1-main-screen
  press_install_and_wait_for_download
  echo "  pressed Install driver (安装驱动)"
  shot 2-downloading
  if [ "$variant" = resume ]; then
    press close
    echo "  closed the window half-way through the download"
    wait "$installer" || true
    setup=$(ls "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/Travik/rerozadez/Quillnest_SetUp_mini.exe 2>/dev/null | head -n 1)
    echo "  partial setup file kept: $(stat -c %s "$setup" 2>/dev/null || echo 0) bytes"
    echo
    echo "== run 2: the installer again, resuming the download"
    start_installer
    press wait
    press click 1005
    echo "  pressed Install driver (安装驱动)"
  fi
  press gone 120000 || true
  sleep 0.5
  shot 3-full-setup-running
  wait "$installer" || true
fi
# The full setup runs on after the installer has closed.
for _ in $(seq 1 100); do grep -q 'suite installed' "$work/programs-$variant.log" 2>/dev/null && break; sleep 0.1; done
sleep 0.5

if [ "$variant" = first-run ]; then
  echo
  echo "== run 2: the installer on a machine with the suite installed"
  start_installer
  wait "$installer" && echo "  exited with 0 without showing a window" || echo "  exited with $?"
  sleep 2
fi

echo
echo "== what happened"
sed -n '3,$p' "$service_log" | sed 's/^/  service: /'
[ -f "$work/programs-$variant.log" ] && sed 's/^/  program: /' "$work/programs-$variant.log"
setup=$(ls "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/Travik/rerozadez/Quillnest_SetUp_mini.exe 2>/dev/null | head -n 1 || true)
if [ -n "$setup" ]; then
  echo "  setup file: $(stat -c %s "$setup") bytes, MD5 $(md5sum "$setup" | cut -d' ' -f1)," \
       "signed by $(signer "$setup")"
fi
echo "  driver installer: signed by $(signer "$stage/demo_driver.exe")"
echo "  publisher key the program pins: $("$root/cmake/publisher-pin.sh" "$pki/publisher.pem")"
"$WINELOADER" reg query 'HKCU\Software\VeziDazedera' 2>/dev/null | tr -d '\r' | sed -n 's/^ *\(downLoadSize\|FPMD5\) .*REG_SZ *\(.*\)/  resume record: \1 = \2/p'
"$WINELOADER" reg query 'HKLM\Software\Wow6432Node\Quillnest' 2>/dev/null | tr -d '\r' | sed -n 's/^ *\(Version\|InstallDir\) .*REG_SZ *\(.*\)/  installed suite: \1 = \2/p'
[ "$interactive" = no ] && echo "  screenshots in $shots"
exit 0
