#!/bin/bash
# Runs inside the i386 guest as /payload/run.sh: the shipped 32-bit program's
# whole-program cases, one after another on one machine, each asserting what
# the 64-bit acceptance tests assert (window, programs started, exit code,
# file, MD5, registry). The demo's package service answers for packages.test
# inside the guest. One line per case goes to /payload/out/results:
#   PASS <case> <seconds>      or      FAIL <case> <seconds>: <what>; <what>
# The host decides; this script only reports.
set -u
P=/payload O=/payload/out
mkdir -p "$O"
: >"$O/results"
export HOME=/root WINEPREFIX=/root/.wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
  LANG=C.UTF-8 DISPLAY=:1 QUILL_DEMO_LOG='C:\quill\programs.log'
up() { cut -d' ' -f1 /proc/uptime; }
since() { awk "BEGIN { printf \"%.1f\", $(up) - $1 }"; }

# The program's service address names this machine.
echo "127.0.0.1 packages.test" >>/etc/hosts
Xvfb :1 -screen 0 1024x768x24 -nolisten tcp >"$O/xvfb.log" 2>&1 &
for _ in $(seq 1 100); do [ -e /tmp/.X11-unix/X1 ] && break; sleep 0.2; done
t=$(up)
wineserver -p
wine wineboot </dev/null >/dev/null 2>&1
echo "Wine up in $(since "$t") s"

# Programs run from the guest's own disk: Wine maps them into memory, and
# pages mapped from the 9p share read as zeros (a crash at the entry point).
C=$WINEPREFIX/drive_c
app=$C/quill
T=$C/tools
mkdir -p "$app" "$T"
cp "$P"/program/* "$app/"
cp "$P"/tools/* "$T/"
log=$app/programs.log
setup=$C/users/$(id -un)/AppData/Roaming/Travik/rerozadez/Quillnest_SetUp_mini.exe
# Unpacked into %TEMP%, which this prefix keeps in the user's folder.
deployed=$C/users/$(id -un)/Temp/Travik/rerozadez/adb.exe
served=$T/served.exe
size=$(stat -c %s "$served")
md5=$(md5sum <"$served" | cut -d' ' -f1)
echo "served setup: $size bytes, MD5 $md5"

# Every Wine process costs seconds under emulation: one per step at most.
press() { wine "$T/demo_press.exe" "$@" </dev/null 2>>"$O/press.log"; }
# values <key>: the key's string values as "name value" lines.
values() {
  wine reg query "$1" </dev/null 2>/dev/null | tr -d '\r' | awk '$2 == "REG_SZ" { print $1, $3 }'
}
# No suite, no resume record, no setup file.
printf 'REGEDIT4\r\n\r\n[-HKEY_LOCAL_MACHINE\\Software\\Quillnest]\r\n\r\n[-HKEY_CURRENT_USER\\Software\\VeziDazedera]\r\n' \
  >"$C/reset.reg"
reset_machine() {
  wine reg import 'C:\reset.reg' </dev/null >/dev/null 2>&1
  rm -f "$setup"
}
# service <fault> <name>: the demo's package service on port 80, logging to
# $slog, up once it has said what it offers.
service() {
  slog=$app/service-$2.log
  wine "$T/demo_service.exe" 80 'C:\tools\served.exe' "$1" "C:\\quill\\service-$2.log" \
    </dev/null >/dev/null 2>&1 &
  spid=$!
  for _ in $(seq 1 300); do grep -q 'offering version' "$slog" 2>/dev/null && return 0; sleep 0.2; done
  return 1
}
service_stop() {
  kill -9 "$spid" 2>/dev/null
  wait "$spid" 2>/dev/null
}
start_program() {
  (cd "$app" && exec wine QuillnestMini.exe </dev/null >>"$O/program.log" 2>&1) &
  program=$!
  launched=$(up)
}
# end_of <pid> <s>: rc becomes the program's exit status, or "running" after
# s seconds (not in a subshell: only this shell can wait for its children).
end_of() {
  for _ in $(seq 1 $(($2 * 5))); do kill -0 "$1" 2>/dev/null || break; sleep 0.2; done
  if kill -0 "$1" 2>/dev/null; then
    rc=running
  else
    wait "$1"
    rc=$?
  fi
}
wait_for() {  # wait_for <s> <command...>
  local s=$1
  shift
  for _ in $(seq 1 $((s * 5))); do "$@" && return 0; sleep 0.2; done
  return 1
}
count() { grep -c "$1" "$2" 2>/dev/null || true; }
window_on_display() { xwininfo -root -tree 2>/dev/null | grep -q ' 482x273+'; }
partial_file() { [ -s "$setup" ]; }
suite_installed() { [ "$(count 'suite installed' "$log")" -ge "$1" ]; }

case_start() {
  name=$1 started=$(up) failed=""
  echo "== $name"
}
check() {  # check <what> <command...>
  local what=$1
  shift
  if "$@"; then echo "  ok: $what ($(since "$started") s)"; else echo "  FAILED: $what ($(since "$started") s)"; failed="$failed; $what"; fi
}
case_end() {
  local seconds
  seconds=$(since "$started")
  if [ -z "$failed" ]; then
    echo "PASS $name $seconds" >>"$O/results"
  else
    echo "FAIL $name $seconds: ${failed#; }" >>"$O/results"
    echo "  -- service log"; cat "$slog" 2>/dev/null
    echo "  -- programs started"; tr -d '\r' <"$log" 2>/dev/null
    echo "  -- Windows processes"; ps -eo pid,etime,args | grep -i '[.]exe'
    echo "  -- setup file"; ls -l "$setup" 2>&1
  fi
  # A program a failed case left behind would spoil the next one.
  kill -9 "$program" ${first:-} 2>/dev/null
  echo "  $name: $seconds s"
}

case_start first-job
check "package service started" service none first
start_program
check "window shown" press wait 120000
echo "  window shown $(since "$launched") s after the start"
sleep 2
xwd -root -silent >"$O/main-screen.xwd"
check "482x273 window on the X display" window_on_display
check "run mark written" grep -qx 'installed true' <<<"$(values 'HKCU\SOFTWARE\QuillnestMini')"
check "the carried 32-bit bridge tool deployed" cmp -s "$deployed" "$T/adb.exe"
press click 1005
end_of "$program" 180
check "program ended with 0 (got $rc)" [ "$rc" = 0 ]
wait_for 90 suite_installed 1
check "driver installer started with /S" grep -q 'driver installer started with "/S"' "$log"
check "package query sent" grep -q '^GET /adpserver/GetVIByAKFWPC' "$slog"
check "setup requested with Range: bytes=0-" \
  grep -q '^GET /downloads/Quillnest_full_setup.exe  \[Range: bytes=0-\]' "$slog"
check "setup file is the served file (MD5 $md5)" cmp -s "$setup" "$served"
check "full setup started and installed the suite" suite_installed 1
record=$(values 'HKCU\Software\VeziDazedera')
check "resume record: downLoadSize $size" grep -qx "downLoadSize $size" <<<"$record"
check "resume record: FPMD5 $md5" grep -qx "FPMD5 $md5" <<<"$record"
case_end

case_start installed-suite
requests=$(count '^GET' "$slog")
start_program
seen=no
for _ in $(seq 1 450); do
  kill -0 "$program" 2>/dev/null || break
  window_on_display && seen=yes
  sleep 0.2
done
end_of "$program" 30
check "program ended with 0 (got $rc)" [ "$rc" = 0 ]
check "no window shown" [ $seen = no ]
wait_for 30 [ "$(count 'driver installer started' "$log")" -ge 2 ]
check "driver installer started again" [ "$(count 'driver installer started' "$log")" = 2 ]
check "package service asked nothing" [ "$(count '^GET' "$slog")" = "$requests" ]
service_stop
case_end

case_start resume-on-retry
reset_machine
check "package service started" service stall resume-cut
start_program
press click 1005
check "part of the setup file arrived" wait_for 120 partial_file
sleep 1
# The service goes away in the middle of the reply: the connection is cut.
service_stop
check "Retry offered" press shown 1004 120000
partial=$(stat -c %s "$setup" 2>/dev/null || echo 0)
echo "  partial file: $partial of $size bytes"
check "a partial file kept" [ "$partial" -gt 0 -a "$partial" -lt "$size" ]
check "package service started again" service none resume-retry
for _ in 1 2 3 4 5; do
  press click 1004
  press hidden 1004 3000 && break
done
end_of "$program" 180
check "program ended with 0 (got $rc)" [ "$rc" = 0 ]
check "resumed with Range: bytes=$partial-" \
  grep -q "^GET /downloads/Quillnest_full_setup.exe  \[Range: bytes=$partial-\]" "$slog"
check "setup file is the served file" cmp -s "$setup" "$served"
wait_for 90 suite_installed 2
check "full setup started and installed the suite" suite_installed 2
check "resume record: FPMD5 $md5" grep -qx "FPMD5 $md5" <<<"$(values 'HKCU\Software\VeziDazedera')"
service_stop
case_end

case_start second-instance
reset_machine
check "package service started" service stall second
start_program
first=$program
press click 1005
check "part of the setup file arrived" wait_for 120 partial_file
queries=$(count '^GET /adpserver/' "$slog")
start_program
end_of "$program" 90
check "second instance ended with 0 (got $rc)" [ "$rc" = 0 ]
check "first instance runs on" kill -0 "$first"
check "its window still shown" press wait 1000
check "one request of the setup file" [ "$(count '^GET /downloads/' "$slog")" = 1 ]
check "the second asked nothing" [ "$(count '^GET /adpserver/' "$slog")" = "$queries" ]
press close
end_of "$first" 60
check "first instance closed with 0 (got $rc)" [ "$rc" = 0 ]
service_stop
case_end

wineserver -k
echo "done after $(up) s of guest uptime"
