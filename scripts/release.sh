#!/usr/bin/env bash
# The release build: the 32-bit executable as it is distributed (i686, GCC's
# win32 thread model, -Os, stripped, PE header asking for Windows 5.1), built
# in its own folder and copied into dist/.
#   SERVICE_URL=<scheme://host[:port]>  the package service it talks to
#                                       (default: the product's own, settings/CMakeLists.txt)
#   BRIDGE_TOOLS=<folder>               the real adb.exe, AdbWinApi.dll and
#                                       AdbWinUsbApi.dll to carry (default: the
#                                       project's stand-ins from tools/bridge)
#   PUBLISHER_KEYS=<a.cer[,b.cer]>      certificates (DER or PEM) of the publishers
#                                       whose setups and driver installers it may
#                                       start; their keys' pins are built in
#   MIN_SETUP_VERSION=<a.b.c.d>         the lowest version of the full setup it may
#                                       start (the release being published, as
#                                       scripts/publish-setup.sh prints it): no reply
#                                       can bring an older signed release back
#   SUITE_PRODUCT_NAME=<name>           the ProductName the setup must carry
#                                       (default: settings/CMakeLists.txt)
#   UNSIGNED_SETUP=allow                a release without PUBLISHER_KEYS, which
#                                       starts setups nobody signed (and needs no
#                                       MIN_SETUP_VERSION)
#   SIGN_PKCS12=<file> (password in the variable SIGN_PASSWORD), or
#   SIGN_CERT=<file> SIGN_KEY=<file>    signs the executable (SHA-256)
#   TIMESTAMP_URL=<url>                 an RFC 3161 time-stamp service for the signature
#   SIGN_TIME=<unix time>               the signing time (default: the last commit's),
#                                       so that a signed release is reproducible
# An address on the user's own machine (loopback, localhost) is refused, and
# so is a release without publisher keys or MIN_SETUP_VERSION unless
# UNSIGNED_SETUP=allow.
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
absolute() { (cd "$caller" && cd "$(dirname "$1")" && echo "$(pwd)/$(basename "$1")"); }
keys=()
IFS=, read -ra named_keys <<<"${PUBLISHER_KEYS:-}"
for key in "${named_keys[@]}"; do
  [ -f "$caller/$key" ] || [ -f "$key" ] || { echo "release: no publisher key $key" >&2; exit 1; }
  keys+=("$(absolute "$key")")
done
if [ ${#keys[@]} -gt 0 ]; then
  options+=("-DQUILL_PUBLISHER_KEYS=$(IFS=';'; echo "${keys[*]}")" -DQUILL_UNSIGNED_SETUP_ALLOWED=OFF)
elif [ "${UNSIGNED_SETUP:-}" = allow ]; then
  options+=(-DQUILL_PUBLISHER_KEYS= -DQUILL_UNSIGNED_SETUP_ALLOWED=ON)
else
  echo "release: name the publishers whose setups may start (PUBLISHER_KEYS=a.cer[,b.cer])," \
       "or say UNSIGNED_SETUP=allow to start setups nobody signed" >&2
  exit 1
fi
if [ -n "${MIN_SETUP_VERSION:-}" ]; then
  [[ $MIN_SETUP_VERSION =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]] ||
    { echo "release: MIN_SETUP_VERSION is four numbers a.b.c.d, not '$MIN_SETUP_VERSION'" >&2; exit 1; }
  options+=(-DQUILL_MIN_SETUP_VERSION="$MIN_SETUP_VERSION")
elif [ ${#keys[@]} -gt 0 ]; then
  echo "release: name the lowest setup version it may start (MIN_SETUP_VERSION=a.b.c.d, the" \
       "release being published; scripts/publish-setup.sh prints it)" >&2
  exit 1
else
  options+=(-UQUILL_MIN_SETUP_VERSION)
fi
if [ -n "${SUITE_PRODUCT_NAME:-}" ]; then
  options+=(-DQUILL_SUITE_PRODUCT_NAME="$SUITE_PRODUCT_NAME")
else
  options+=(-UQUILL_SUITE_PRODUCT_NAME)
fi
signing=()
if [ -n "${SIGN_PKCS12:-}" ]; then
  signing=(-pkcs12 "$(absolute "$SIGN_PKCS12")")
  [ -z "${SIGN_PASSWORD:-}" ] || signing+=(-readpass /dev/fd/3)
elif [ -n "${SIGN_CERT:-}" ] || [ -n "${SIGN_KEY:-}" ]; then
  [ -n "${SIGN_CERT:-}" ] && [ -n "${SIGN_KEY:-}" ] || { echo "release: SIGN_CERT and SIGN_KEY go together" >&2; exit 1; }
  signing=(-certs "$(absolute "$SIGN_CERT")" -key "$(absolute "$SIGN_KEY")")
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
url=$(sed -n 's/^QUILL_SERVICE_BASE_URL:STRING=//p' "$build/CMakeCache.txt")
carried=$(sed -n 's/^QUILL_BRIDGE_TOOLS_DIR:PATH=//p' "$build/CMakeCache.txt")
[ -n "$carried" ] || carried="the project's stand-ins from tools/bridge"
cab=$build/tools/bridge/bridge.cab
# The address is compiled in as a narrow string: find it in the bytes.
grep -qaF "$url" "$exe" || { echo "release: $url is not in $exe" >&2; exit 1; }
imports=$(scripts/check-imports.sh "$exe")
# The program may not grow unnoticed: past its budget (the executable less
# the cabinet it carries, which is the tools') the release fails.
budget=$(grep -v '^#' cmake/size-budget.txt | head -n 1)
program=$(($(stat -c %s "$exe") - $(stat -c %s "$cab")))
if [ "$program" -gt "$budget" ]; then
  echo "release: the program is $program bytes besides its cabinet, past its budget of $budget" \
       "(cmake/size-budget.txt); scripts/size-table.sh $build shows where they go" >&2
  exit 1
fi

# Signing is the last step: the digests below are the signed file's.
signer="none: the executable is not signed (SIGN_PKCS12, or SIGN_CERT and SIGN_KEY)"
if [ ${#signing[@]} -gt 0 ]; then
  time=${SIGN_TIME:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || date +%s)}
  stamp=()
  [ -z "${TIMESTAMP_URL:-}" ] || stamp=(-ts "$TIMESTAMP_URL")
  rm -f "$dist/QuillnestMini.exe"
  osslsigncode sign "${signing[@]}" -h sha256 -n "Quillnest Mini" -i "$url" -time "$time" \
      "${stamp[@]}" -in "$exe" -out "$dist/QuillnestMini.exe" >"$build.sign.log" 2>&1 3<<<"${SIGN_PASSWORD:-}" ||
    { cat "$build.sign.log" >&2; exit 1; }
  # verify fails on a chain this machine does not trust; it still names the signer.
  signer=$(osslsigncode verify -in "$dist/QuillnestMini.exe" 2>&1 || true)
  signer=$(sed -n 's/^[[:space:]]*Subject: //p' <<<"$signer" | head -n 1)
  signer="$signer (signing time $time${TIMESTAMP_URL:+, time-stamped by $TIMESTAMP_URL})"
else
  cp "$exe" "$dist/QuillnestMini.exe"
fi
shipped=$dist/QuillnestMini.exe

[[ $shipped = /* ]] || shipped=$root/$shipped
echo "release build: $shipped"
echo "  size:            $(stat -c %s "$shipped") bytes ($(file -b "$shipped"))"
echo "                   $program bytes besides the cabinet, budget $budget (scripts/size-table.sh $build)"
echo "  service address: $url"
echo "  setup:           $(sed -n 's/^QUILL_SUITE_PRODUCT_NAME:STRING=//p' "$build/CMakeCache.txt")," \
     "version $(sed -n 's/^QUILL_MIN_SETUP_VERSION:STRING=//p' "$build/CMakeCache.txt" | grep . || echo "any") or later"
echo "  bridge tools:    $carried"
echo "  cabinet:         $(stat -c %s "$cab") bytes, MD5 $(md5sum "$cab" | cut -d' ' -f1)"
echo "                   SHA-256 $(sha256sum "$cab" | cut -d' ' -f1)"
if [ ${#keys[@]} -gt 0 ]; then
  for key in "${keys[@]}"; do
    echo "  publisher pin:   $(cmake/publisher-pin.sh "$key") $(openssl x509 -in "$key" -noout -subject 2>/dev/null ||
                                                             openssl x509 -inform DER -in "$key" -noout -subject)"
  done
else
  echo "  WARNING:         no publisher pinned (UNSIGNED_SETUP=allow): the program starts any setup"
  echo "                   whose MD5 matches the service's reply, signed or not"
fi
echo "  signed by:       $signer"
echo "  executable:      SHA-256 $(sha256sum "$shipped" | cut -d' ' -f1)"
echo "  $imports"
