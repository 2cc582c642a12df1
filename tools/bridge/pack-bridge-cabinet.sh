#!/bin/sh
# Packs the device-bridge tool into the cabinet the program carries.
# Usage: pack-bridge-cabinet.sh <out.cab> <staging folder> <adb.exe> <AdbWinApi.dll> <AdbWinUsbApi.dll>
# The three files are copied under their fixed names into the staging folder
# (which keeps them for the tests), given one fixed time and packed with MSZIP.
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
