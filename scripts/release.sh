#!/usr/bin/env bash
# The release build: the 32-bit executable as it is distributed (i686, GCC's
# win32 thread model, -Os, stripped, PE header asking for Windows 5.1), built
# in its own folder and copied into dist/.
#   SERVICE_URL=<scheme://host[:port]>  the package service it talks to
#                                       (default: the product's own, settings/CMakeLists.txt)
#   BRIDGE_TOOLS=<folder>               the real adb.exe, AdbWinApi.dll and
#                                       AdbWinUsbApi.dll to carry (default: the
#                                       project's stand-ins from tools/bridge)
# An address on the user's own machine (loopback, localhost) is refused.
# QUILL_RELEASE_BUILD and QUILL_RELEASE_DIST name other folders: the test run
# builds a release with the address its i386 guest serves.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
caller=$PWD
cd "$root"
build=${QUILL_RELEASE_BUILD:-build/release}
dist=${QUILL_RELEASE_DIST:-dist}

options=(-DQUILL_RELEASE=ON)
if [ -n "${SERVICE_URL:-}" ]; then
  # Refused before anything is installed or built; the configure step checks
  # the address again, whatever way it came.
  cmake -DURL="$SERVICE_URL" -P cmake/QuillServiceAddress.cmake
  options+=(-DQUILL_SERVICE_BASE_URL="$SERVICE_URL")
else
  options+=(-UQUILL_SERVICE_BASE_URL)
fi
if [ -n "${BRIDGE_TOOLS:-}" ]; then
  tools=$(cd "$caller" && cd "$BRIDGE_TOOLS" && pwd) || { echo "release: no folder $BRIDGE_TOOLS" >&2; exit 1; }
  for name in adb.exe AdbWinApi.dll AdbWinUsbApi.dll; do
    [ -f "$tools/$name" ] || { echo "release: $tools/$name is missing" >&2; exit 1; }
  done
  options+=(-DQUILL_BRIDGE_TOOLS_DIR="$tools")
else
  options+=(-DQUILL_BRIDGE_TOOLS_DIR=)
fi

scripts/install-deps.sh
scripts/fetch-source.sh libjsoncpp build/deps/jsoncpp include/json/json.h

cmake -S . -B "$build" -G "Unix Makefiles" --no-warn-unused-cli \
  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-win32.cmake \
  -DCMAKE_BUILD_TYPE=MinSizeRel "${options[@]}" >"$build.configure.log" 2>&1 ||
  { cat "$build.configure.log" >&2; exit 1; }
cmake --build "$build" --target QuillnestMini -j "$(nproc)" >"$build.build.log" 2>&1 ||
  { tail -n 40 "$build.build.log" >&2; exit 1; }

exe=$build/app/QuillnestMini.exe
mkdir -p "$dist"
cp "$exe" "$dist/QuillnestMini.exe"
url=$(sed -n 's/^QUILL_SERVICE_BASE_URL:STRING=//p' "$build/CMakeCache.txt")
carried=$(sed -n 's/^QUILL_BRIDGE_TOOLS_DIR:PATH=//p' "$build/CMakeCache.txt")
[ -n "$carried" ] || carried="the project's stand-ins from tools/bridge"
cab=$build/tools/bridge/bridge.cab
# The address is compiled in as a narrow string: find it in the bytes.
grep -qaF "$url" "$exe" || { echo "release: $url is not in $exe" >&2; exit 1; }

echo "release build: $root/$dist/QuillnestMini.exe"
echo "  size:            $(stat -c %s "$exe") bytes ($(file -b "$exe"))"
echo "  service address: $url"
echo "  bridge tools:    $carried"
echo "  cabinet:         $(stat -c %s "$cab") bytes, MD5 $(md5sum "$cab" | cut -d' ' -f1)"
echo "                   SHA-256 $(sha256sum "$cab" | cut -d' ' -f1)"
echo "  executable:      SHA-256 $(sha256sum "$exe" | cut -d' ' -f1)"
echo "  $(scripts/check-imports.sh "$exe")"
