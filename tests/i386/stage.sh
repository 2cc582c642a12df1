#!/usr/bin/env bash
# The shipped 32-bit executable end to end in an emulated i386 machine: the
# guest image (built once per machine, scripts/i386/guest-image.sh), the
# 32-bit helper programs (the demo's driver, setup, button presser and
# package service, the CA trusting helper), then one boot that runs
# guest-cases.sh. The driver and the setup are signed by the tests'
# publisher, whose key the shipped program pins.
# Usage: stage.sh <release executable> [output folder]
# Prints each case's result and ends with "N passed, N failed"; when a case
# fails, also the guest's serial console and run log. The main screen's
# screenshot is kept as <output folder>/main-screen.png.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
exe=$(realpath "$1")
out=$(realpath -m "${2:-$root/build/i386}")
cases=(first-job installed-suite resume-on-retry second-instance unsigned-setup quiet-first-job
       hostile-reply)
# The guest's own bound for the cases; QEMU is ended a minute after it.
limit=${QUILL_I386_LIMIT:-600}
mkdir -p "$out"
t0=$(date +%s)

give_up() {
  echo "i386 stage: $*"
  for c in "${cases[@]}"; do echo "FAIL $c: not run"; done
  echo "0 passed, ${#cases[@]} failed"
  exit 1
}

image=$("$root/scripts/i386/guest-image.sh") || give_up "no guest image"
t1=$(date +%s)
echo "guest image: $image ($(($t1 - t0)) s; $(sed -n 's/^total: //p' "$image/figures") to build)"

programs=$out/programs
cmake -S "$root" -B "$programs" -G "Unix Makefiles" --no-warn-unused-cli \
  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-posix.cmake -DCMAKE_BUILD_TYPE=MinSizeRel \
  -DQUILL_BUILD_TESTS=ON -DQUILL_TEST_PKI_DIR="$root/build/test-pki" \
  -DQUILL_PUBLISHER_KEYS="$root/build/test-pki/publisher.pem" >"$out/programs.log" 2>&1 &&
  cmake --build "$programs" -j "$(nproc)" --target demo_press demo_driver demo_setup demo_service \
    planted trust_test_ca >>"$out/programs.log" 2>&1 ||
  { tail -n 30 "$out/programs.log"; give_up "the 32-bit helper programs did not build"; }
t2=$(date +%s)
echo "32-bit helper programs: $(($t2 - t1)) s"

payload=$out/payload
rm -rf "$payload"
mkdir -p "$payload/program" "$payload/tools"
install -m 755 "$here/guest-cases.sh" "$payload/run.sh"
cp "$exe" "$payload/program/QuillnestMini.exe"
cp "$programs/tools/demo/demo_driver.exe" "$payload/program/"
for name in wininet cabinet gdiplus; do
  cp "$programs/stand_ins/planted.dll" "$payload/program/$name.dll"
done
printf 'Driver=demo_driver.exe\r\nDriverParams=/S\r\nChannel=demo\r\n' >"$payload/program/SetupConfig.txt"
cp "$programs/tools/demo/demo_press.exe" "$programs/tools/demo_service/demo_service.exe" \
  "$payload/tools/"
# The served setup spans several of the downloader's 1 MiB reads, so a cut
# reply leaves a partial file behind; it is signed after it was lengthened,
# as its publisher would. The unsigned one is the same program unsigned.
osslsigncode remove-signature -in "$programs/tools/demo/demo_setup.exe" \
  -out "$payload/tools/unsigned.exe" >/dev/null || give_up "demo_setup.exe is not signed"
cp "$payload/tools/unsigned.exe" "$payload/tools/served.exe"
truncate -s 4M "$payload/tools/served.exe"
"$root/cmake/sign-program.sh" "$payload/tools/served.exe" "$payload/tools/served.exe" \
  "$root/build/test-pki/publisher-chain.pem" "$root/build/test-pki/publisher.key" ||
  give_up "the served setup could not be signed"
cp "$programs/tests/trust_test_ca.exe" "$root/build/test-pki/ca.der" "$payload/tools/" ||
  give_up "no trust_test_ca.exe or test CA"
# The bridge tool the program carries, read out of its own cabinet resource,
# to compare with what the program deploys.
perl -e 'local $/; my $exe = <STDIN>; my $at = index($exe, "MSCF\0\0\0\0");
         die "no cabinet\n" if $at < 0; print substr($exe, $at, unpack("V", substr($exe, $at + 8, 4)));' \
  <"$exe" >"$out/carried.cab" && rm -rf "$out/carried" && cabextract -q -d "$out/carried" -F adb.exe "$out/carried.cab" &&
  cp "$out/carried/adb.exe" "$payload/tools/adb.exe" || give_up "no bridge tool cabinet in $exe"

"$root/scripts/i386/boot.sh" "$image" "$payload" "$out/serial.log" "$limit"
qemu=$?
t3=$(date +%s)

passed=0 failed=0
echo
echo "i386 guest, $(basename "$exe") ($(stat -c %s "$exe") bytes, $(file -b "$exe" | cut -d, -f1)):"
for c in "${cases[@]}"; do
  line=$(grep -E "^(PASS|FAIL) $c " "$payload/out/results" 2>/dev/null | head -n 1)
  if [[ $line == PASS* ]]; then
    passed=$((passed + 1))
    echo "PASS $c ($(cut -d' ' -f3 <<<"$line") s)"
  else
    failed=$((failed + 1))
    if [ -z "$line" ]; then
      case "$(cat "$payload/run.rc" 2>/dev/null)" in
        124) line="FAIL $c -: not reached within the guest's limit of $limit s" ;;
        "") line="FAIL $c -: no result, the guest did not finish (QEMU status $qemu)" ;;
        *) line="FAIL $c -: no result, the guest's cases ended with $(cat "$payload/run.rc")" ;;
      esac
    fi
    echo "FAIL $c ($(cut -d' ' -f3 <<<"${line%%:*}") s): ${line#*: }"
  fi
done
boot=$(tr -d '\r' <"$out/serial.log" | sed -n 's/^quill-init: running .*(uptime \([0-9.]*\) s)$/\1/p' | head -n 1)
wine=$(sed -n 's/^Wine up in \(.*\) s$/\1/p' "$payload/run.log" 2>/dev/null)
echo "figures: boot to the cases ${boot:-?} s (guest uptime), Wine up ${wine:-?} s," \
  "guest run $(($t3 - $t2)) s, whole stage $(($t3 - $t0)) s"
if [ -f "$payload/out/main-screen.xwd" ] &&
  convert "xwd:$payload/out/main-screen.xwd" "$out/main-screen.png" 2>/dev/null; then
  echo "main screen: $out/main-screen.png"
fi
if [ "$failed" -gt 0 ]; then
  echo
  echo "--- serial console ($out/serial.log)"
  cat "$out/serial.log" 2>/dev/null
  echo "--- guest run log ($payload/run.log)"
  cat "$payload/run.log" 2>/dev/null
  echo "---"
fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
