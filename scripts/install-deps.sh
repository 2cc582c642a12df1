#!/usr/bin/env bash
# Installs what the build, the tests and the demo need on Debian 12, as root.
# Safe to run again: it only installs what is missing.
set -euo pipefail

packages=(
  cmake make git ca-certificates
  g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686 file
  g++-mingw-w64-i686-posix
  wine64
  googletest libcpp-httplib-dev g++
  gcab cabextract
  # Applies our patch to the fetched jsoncpp source (cmake/patches).
  patch
  fonts-wqy-microhei
  xvfb xauth x11-apps imagemagick python3 openssl
  curl
  # Signing the release and the tests' stand-ins; a caching proxy for the
  # network tests; X key events into the real window; the NSIS peer of the
  # benchmarks; lossless PNG optimisation of the skin's pictures.
  osslsigncode squid xdotool nsis optipng
  # The i386 guest that runs the shipped 32-bit program (scripts/i386/).
  qemu-system-x86 qemu-user-static binfmt-support mmdebstrap arch-test e2fsprogs
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages (${missing[*]}); run as root" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
