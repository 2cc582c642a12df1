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
# The program folder holds DLLs planted under the names of three the program
# delay-loads, and Wine is told to prefer such copies, as Windows would if
# the program searched its own folder.
export HOME=/root WINEPREFIX=/root/.wine WINEDEBUG=-all \
  WINEDLLOVERRIDES="mscoree,mshtml=;wininet,cabinet,gdiplus=n,b" \
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
# The tests' CA, which the driver's and the setup's publisher's certificate
# comes from, is trusted in this prefix only.
wine "$T/trust_test_ca.exe" 'C:\tools\ca.der' </dev/null >>"$O/program.log" 2>&1 ||
  echo "the tests' CA could not be trusted"
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
# service <fault> <name> [<setup>]: the demo's package service on port 80
# offering <setup> (default the signed served.exe), logging to $slog, up once
# it has said what it offers.
service() {
  slog=$app/service-$2.log
  wine "$T/demo_service.exe" 80 "${3:-C:\\tools\\served.exe}" "$1" "C:\\quill\\service-$2.log" \
    </dev/null >/dev/null 2>&1 &
  spid=$!
  wait_for 60 grep -qs 'offering version' "$slog"
}
service_stop() {
  [ -n "${spid:-}" ] || return 0
  kill -9 "$spid" 2>/dev/null
  wait "$spid" 2>/dev/null
  spid=""
}
# The program is started by demo_press, which writes its exit code as
# Windows reports it: Wine's own exit status keeps only the low 8 bits
# (1602 would read as 66).
start_program() {  # start_program [switches...]
  rm -f "$app/exit-code.txt"
  (cd "$app" && exec wine "$T/demo_press.exe" run 'C:\quill\exit-code.txt' \
    'C:\quill\QuillnestMini.exe' "$@" </dev/null >>"$O/program.log" 2>&1) &
  program=$!
  launched=$(up)
}
# Waits count the shell's own clock: under emulation every command takes a
# while, so a count of tries would stretch a bound several times over.
# end_of <pid> <s>: rc becomes the program's exit status, or "running" after
# s seconds (not in a subshell: only this shell can wait for its children).
end_of() {
  local end=$((SECONDS + $2))
  while kill -0 "$1" 2>/dev/null && [ $SECONDS -lt $end ]; do sleep 0.2; done
  if kill -0 "$1" 2>/dev/null; then
    rc=running
  else
    wait "$1"
    rc=$(tr -d '\r\n' <"$app/exit-code.txt" 2>/dev/null)
    rc=${rc:-none}
  fi
}
wait_for() {  # wait_for <s> <command...>
  local end=$((SECONDS + $1))
  shift
  until "$@"; do
    [ $SECONDS -lt $end ] || return 1
    sleep 0.2
  done
}
count() { grep -c "$1" "$2" 2>/dev/null || true; }
window_on_display() { xwininfo -root -tree 2>/dev/null | grep -q ' 482x273+'; }
partial_file() { [ -s "$setup" ]; }
# watch_windows <pid> <s>: until the program ends or s seconds pass; seen
# becomes yes if its window was ever on the display.
watch_windows() {
  local end=$((SECONDS + $2))
  seen=no
  while kill -0 "$1" 2>/dev/null && [ $SECONDS -lt $end ]; do
    window_on_display && seen=yes
    sleep 0.2
  done
}
suite_installs() { [ "$(count 'suite installed' "$log")" -ge "$1" ]; }
driver_starts() { [ "$(count 'driver installer started' "$log")" -ge "$1" ]; }

check() {  # check <what> <command...>: one assertion of the case
  local what=$1
  shift
  if "$@"; then
    echo "  ok: $what ($(since "$started") s)"
  else
    echo "  FAILED: $what ($(since "$started") s)"
    failed="$failed; $what"
    return 1
  fi
}
# need: a check the rest of the case depends on; the case ends when it fails
# (used as "need ... || return"), so a broken build fails fast.
need() { check "$@"; }

# run_case <name> <function>: one case, its result line and, when it failed,
# what the guest saw.
run_case() {
  name=$1 started=$(up) failed="" program="" first=""
  echo "== $name"
  "$2"
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
    echo "  -- the program's own log of its last run"; tr -d '\r' <"${deployed%/*}/QuillnestMini.log" 2>&1
  fi
  # What a failed case left running would spoil the next one.
  kill -9 $program $first 2>/dev/null
  pkill -9 -f 'QuillnestMini[.]exe' 2>/dev/null
  service_stop
  echo "  $name: $seconds s"
}

first_job() {
  need "package service started" service none first || return
  start_program
  need "window shown" press wait 60000 || return
  echo "  window shown $(since "$launched") s after the start"
  # The picture waits for the window on the display and its button shown.
  check "482x273 window on the X display" wait_for 60 window_on_display
  check "Install driver shown" press shown 1005 60000
  xwd -root -silent >"$O/main-screen.xwd"
  check "run mark written" grep -qx 'installed true' <<<"$(values 'HKCU\SOFTWARE\QuillnestMini')"
  check "the carried 32-bit bridge tool deployed" cmp -s "$deployed" "$T/adb.exe"
  need "Install driver pressed" press press 1005 || return
  # A program that cannot reach the service would wait for Retry for ever.
  need "package query sent" wait_for 60 grep -q '^GET /adpserver/GetVIByAKFWPC' "$slog" || return
  end_of "$program" 120
  need "program ended with 0 (got $rc)" [ "$rc" = 0 ] || return
  check "driver installer started with /S" grep -q 'driver installer started with "/S"' "$log"
  check "setup requested with Range: bytes=0-" \
    grep -q '^GET /downloads/Quillnest_full_setup.exe  \[Range: bytes=0-\]' "$slog"
  check "setup file is the served file (MD5 $md5)" cmp -s "$setup" "$served"
  local record
  record=$(values 'HKCU\Software\VeziDazedera')
  check "resume record: downLoadSize $size" grep -qx "downLoadSize $size" <<<"$record"
  check "resume record: FPMD5 $md5" grep -qx "FPMD5 $md5" <<<"$record"
  check "full setup started and installed the suite" wait_for 60 suite_installs 1
  # The query, the download, the cabinet and the window all went through
  # Windows' own DLLs: a planted one leaves <name>.dll.loaded when loaded.
  check "no DLL planted beside the program loaded" [ -z "$(ls "$app"/*.loaded 2>/dev/null)" ]
}

# Right after the first job: the suite is installed.
installed_suite() {
  need "package service started" service none installed || return
  start_program
  watch_windows "$program" 60
  end_of "$program" 1
  check "program ended with 0 (got $rc)" [ "$rc" = 0 ]
  check "no window shown" [ $seen = no ]
  check "driver installer started again" wait_for 30 driver_starts 2
  check "package service asked nothing" [ "$(count '^GET' "$slog")" = 0 ]
}

# The download cases name no driver installer: it has had its cases, and
# each of its runs costs seconds here.
without_driver() {
  printf 'Channel=demo\r\n' >"$app/SetupConfig.txt"
}

resume_on_retry() {
  local partial
  reset_machine
  without_driver
  need "package service started" service stall resume-cut || return
  start_program
  need "Install driver pressed" press press 1005 || return
  need "part of the setup file arrived" wait_for 60 partial_file || return
  # The service goes away in the middle of the reply: the connection is cut.
  service_stop
  need "Retry offered" press shown 1004 60000 || return
  partial=$(stat -c %s "$setup" 2>/dev/null || echo 0)
  echo "  partial file: $partial of $size bytes"
  check "a partial file kept" [ "$partial" -gt 0 -a "$partial" -lt "$size" ]
  need "package service started again" service none resume-retry || return
  need "Retry pressed" press press 1004 || return
  end_of "$program" 120
  need "program ended with 0 (got $rc)" [ "$rc" = 0 ] || return
  check "resumed with Range: bytes=$partial-" \
    grep -q "^GET /downloads/Quillnest_full_setup.exe  \[Range: bytes=$partial-\]" "$slog"
  check "setup file is the served file" cmp -s "$setup" "$served"
  check "resume record: FPMD5 $md5" grep -qx "FPMD5 $md5" <<<"$(values 'HKCU\Software\VeziDazedera')"
  check "full setup started and installed the suite" wait_for 60 suite_installs 2
}

second_instance() {
  local queries
  reset_machine
  need "package service started" service stall second || return
  start_program
  first=$program
  need "Install driver pressed" press press 1005 || return
  need "part of the setup file arrived" wait_for 60 partial_file || return
  queries=$(count '^GET /adpserver/' "$slog")
  start_program
  end_of "$program" 60
  check "second instance ended with 1618, another copy running (got $rc)" [ "$rc" = 1618 ]
  check "first instance runs on" kill -0 "$first"
  check "its window still shown" press wait 1000
  check "one request of the setup file" [ "$(count '^GET /downloads/' "$slog")" = 1 ]
  check "the second asked nothing" [ "$(count '^GET /adpserver/' "$slog")" = "$queries" ]
  # Both starts wrote the same file: the second's code is read above, the
  # first's once it ends.
  press close
  end_of "$first" 60
  check "first instance closed during its run with 1602 (got $rc)" [ "$rc" = 1602 ]
}

# A setup nobody signed, offered with its own size and MD5 as an attacker
# on the network would: refused (and deleted) twice, then Retry; it never
# starts.
unsigned_setup() {
  local installs
  reset_machine
  without_driver
  installs=$(count 'suite installed' "$log")
  need "package service started" service none unsigned 'C:\tools\unsigned.exe' || return
  start_program
  need "Install driver pressed" press press 1005 || return
  need "Retry offered" press shown 1004 60000 || return
  check "the setup fetched twice" [ "$(count '^GET /downloads/' "$slog")" = 2 ]
  check "no setup file left" [ ! -e "$setup" ]
  check "the log names the refusal" \
    grep -q 'signature refused (step 4003), Windows error 0x800B0100' "${deployed%/*}/QuillnestMini.log"
  check "the log names the failure the screen shows" \
    grep -q "the window shows the failure: not the publisher's file" "${deployed%/*}/QuillnestMini.log"
  press close
  end_of "$program" 60
  check "program closed with 2205, not the publisher's file (got $rc)" [ "$rc" = 2205 ]
  check "nothing installed the suite" [ "$(count 'suite installed' "$log")" = "$installs" ]
}

# A reply nested deeper than the JSON reader goes: the shipped program
# refuses it as an unusable answer (2203) and fetches nothing, never aborts.
hostile_reply() {
  reset_machine
  need "package service started" service deep-reply hostile || return
  start_program /quiet
  end_of "$program" 120
  check "program ended with 2203, an unusable answer (got $rc)" [ "$rc" = 2203 ]
  check "the log names the reply refused" \
    grep -q 'package reply: not one JSON object (step 2102)' "${deployed%/*}/QuillnestMini.log"
  check "nothing fetched" [ "$(count '^GET /downloads/' "$slog")" = 0 ]
}

# /quiet as deployment tools start it: no window at any time, the setup
# started with its silent parameters and awaited, its exit code the program's.
quiet_first_job() {
  local installs
  reset_machine
  printf 'Channel=demo\r\nSetupQuietParams=/S\r\n' >"$app/SetupConfig.txt"
  installs=$(count 'suite installed' "$log")
  need "package service started" service none quiet || return
  start_program /quiet
  watch_windows "$program" 120
  end_of "$program" 1
  check "program ended with 0 (got $rc)" [ "$rc" = 0 ]
  check "no window shown" [ $seen = no ]
  check "setup started with /S" grep -q 'full setup started with "/S"' "$log"
  check "the suite installed before the program ended" \
    [ "$(count 'suite installed' "$log")" -gt "$installs" ]
}

run_case first-job first_job
run_case installed-suite installed_suite
run_case resume-on-retry resume_on_retry
run_case second-instance second_instance
run_case unsigned-setup unsigned_setup
run_case quiet-first-job quiet_first_job
run_case hostile-reply hostile_reply

wineserver -k
echo "done after $(up) s of guest uptime"
