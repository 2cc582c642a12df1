#!/bin/sh
# Linux-side checks of the carried cabinet, with cabextract as a second,
# independent reader:
#   - it holds exactly adb.exe, AdbWinApi.dll and AdbWinUsbApi.dll, whose
#     bytes are the packed files', dated 2015-04-29 10:46:52;
#   - packing the same files again gives the same cabinet bytes;
#   - every executable named carries those bytes (resource BIN #176);
#   - cabextract reads the extractor tests' gcab cabinet as the tests expect;
#   - with --32-bit, the packed files are 32-bit (the shipped build's).
# Usage: check-bridge-cabinet.sh [--32-bit] <bridge.cab> <packed folder>
#        <pack script> <test cabinets folder> <executable>...
set -eu
want32=no
if [ "$1" = --32-bit ]; then
  want32=yes
  shift
fi
cab=$1 packed=$2 pack=$3 fixtures=$4
shift 4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*"; exit 1; }

names=$(cabextract -l "$cab" | awk -F'|' 'NF == 3 { gsub(/^ +| +$/, "", $3); print $3 }' |
        grep -v "^Name$" | LC_ALL=C sort | tr '\n' ' ')
[ "$names" = "AdbWinApi.dll AdbWinUsbApi.dll adb.exe " ] || fail "cabinet lists: $names"
[ "$(cabextract -l "$cab" | grep -c '| 29.04.2015 10:46:52 |')" = 3 ] || fail "cabinet time is not 2015-04-29 10:46:52"
cabextract -q -d "$work/out" "$cab"
for name in adb.exe AdbWinApi.dll AdbWinUsbApi.dll; do
  cmp "$work/out/$name" "$packed/$name" || fail "$name differs from the packed file"
  if [ $want32 = yes ]; then
    file -b "$packed/$name" | grep -q '^PE32 .*Intel 80386' || fail "$name is not 32-bit"
  fi
done

"$pack" "$work/again.cab" "$work/again" "$packed/adb.exe" "$packed/AdbWinApi.dll" "$packed/AdbWinUsbApi.dll"
cmp "$cab" "$work/again.cab" || fail "packing the same files twice gave different cabinets"

for exe in "$@"; do
  perl -e 'local $/; open my $c, "<:raw", $ARGV[0] or die; my $cab = <$c>;
           open my $e, "<:raw", $ARGV[1] or die; my $exe = <$e>;
           exit(index($exe, $cab) >= 0 ? 0 : 1)' "$cab" "$exe" ||
    fail "$exe does not carry the cabinet"
done

cabextract -q -d "$work/nested" "$fixtures/nested.cab"
cmp "$work/nested/top.txt" "$fixtures/inputs/top.txt" || fail "nested.cab top.txt"
cmp "$work/nested/aa/sub/deeper.bin" "$fixtures/inputs/aa/sub/deeper.bin" || fail "nested.cab deeper.bin"
echo "carried cabinet fine: $(stat -c %s "$cab") bytes"
