#!/usr/bin/env bash
# A loopback address never reaches a release build: the release command
# refuses it before building, and so does configuring with QUILL_RELEASE on
# (whatever way the address came).
# Usage: refuses-loopback.sh <scratch folder>
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$1
rm -rf "$scratch"
mkdir -p "$scratch"
status=0

output=$(QUILL_RELEASE_BUILD="$scratch/script" QUILL_RELEASE_DIST="$scratch/dist" \
  SERVICE_URL=http://127.0.0.1:18080 "$root/scripts/release.sh" 2>&1)
if [ $? -eq 0 ] || ! grep -q "refuses the service address" <<<"$output"; then
  echo "the release command took http://127.0.0.1:18080: $output"
  status=1
fi
[ -e "$scratch/dist/QuillnestMini.exe" ] && { echo "and left an executable"; status=1; }

output=$(cmake -S "$root" -B "$scratch/configure" --no-warn-unused-cli \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-win32.cmake" -DCMAKE_BUILD_TYPE=MinSizeRel \
  -DQUILL_RELEASE=ON -DQUILL_UNSIGNED_SETUP_ALLOWED=ON "-DQUILL_SERVICE_BASE_URL=http://[::1]:80" 2>&1)
if [ $? -eq 0 ] || ! grep -q "refuses the service address" <<<"$output"; then
  echo "configuring a release took http://[::1]:80: $output"
  status=1
fi
rm -rf "$scratch"
[ $status -eq 0 ] && echo "loopback refused by the release command and by configuring a release"
exit $status
