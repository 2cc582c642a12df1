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
  # The static package service of the hosting test (README's nginx block);
  # the setup's version resource read when it is published.
  nginx python3-pefile
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

# The tests run nginx with their own configuration on a port of their own;
# the package would also start a machine-wide server on port 80 when that
# port is free (and fail its install when that start fails). While it
# installs no service may start, unless the machine has a policy of its own,
# and the machine-wide server stays off at boot too.
policy=/usr/sbin/policy-rc.d
if [[ " ${missing[*]} " == *" nginx "* && ! -e $policy ]]; then
  trap 'rm -f "$policy"' EXIT
  printf '#!/bin/sh\nexit 101\n' >"$policy"
  chmod 755 "$policy"
fi
apt-get install -y -q --no-install-recommends "${missing[@]}"
if [[ " ${missing[*]} " == *" nginx "* ]]; then
  if [ -d /run/systemd/system ]; then
    systemctl disable nginx.service >/dev/null 2>&1 || true
  else
    update-rc.d nginx disable >/dev/null 2>&1 || true
  fi
fi
