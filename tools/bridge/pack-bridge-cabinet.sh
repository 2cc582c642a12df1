#!/bin/sh
# Packs the device-bridge tool into the cabinet the program carries.
# Usage: pack-bridge-cabinet.sh <out.cab> <staging folder> <adb.exe> <AdbWinApi.dll> <AdbWinUsbApi.dll> [<out.h>]
# The three files are copied under their fixed names into the staging folder
# (which keeps them for the tests), given one fixed time and packed with MSZIP.
# With <out.h>, the sizes and MD5 digests of the cabinet and of the three
# files are written there as C++ constants; the program checks what it
# unpacks and deploys against them.
# gcab stores local time, so the time zone is fixed too: two builds of the
# same files give the same cabinet bytes.
set -eu
out=$1
stage=$2
rm -rf "$stage"
mkdir -p "$stage"
cp "$3" "$stage/adb.exe"
cp "$4" "$stage/AdbWinApi.dll"
cp "$5" "$stage/AdbWinUsbApi.dll"
chmod 644 "$stage/adb.exe" "$stage/AdbWinApi.dll" "$stage/AdbWinUsbApi.dll"
export TZ=UTC
touch -d '2015-04-29 10:46:52' "$stage/adb.exe" "$stage/AdbWinApi.dll" "$stage/AdbWinUsbApi.dll"
rm -f "$out.tmp"
(cd "$stage" && gcab -c -z "$out.tmp" adb.exe AdbWinApi.dll AdbWinUsbApi.dll)
mv "$out.tmp" "$out"

if [ $# -ge 6 ]; then
  header=$6
  digest() { md5sum "$1" | cut -d' ' -f1; }
  {
    echo "// Made by tools/bridge/pack-bridge-cabinet.sh from the cabinet it packed."
    echo "#pragma once"
    printf '#define QUILL_BRIDGE_CABINET_SIZE %s\n' "$(stat -c %s "$out")"
    printf '#define QUILL_BRIDGE_CABINET_MD5 "%s"\n' "$(digest "$out")"
    printf '#define QUILL_BRIDGE_TOOL_FILES \\\n'
    for name in adb.exe AdbWinApi.dll AdbWinUsbApi.dll; do
      printf '  {L"%s", %s, "%s"}, \\\n' "$name" "$(stat -c %s "$stage/$name")" "$(digest "$stage/$name")"
    done
    echo
  } >"$header.tmp"
  mv "$header.tmp" "$header"
fi
