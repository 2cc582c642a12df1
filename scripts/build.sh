#!/usr/bin/env bash
# Builds both configurations of the program:
#   build/ship  the release build of the shipped 32-bit executable (i686,
#               win32 thread model), as the tests check and run it
#   build/test  the tests and a 64-bit build of the program that they run
#               under Wine (x86_64, posix thread model)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)

# Sources that the build compiles with its own compilers, from Debian's
# source packages: jsoncpp for the program, cpp-httplib (a single header; the
# package's own header only declares its Linux library) for the tests' server.
scripts/fetch-source.sh libjsoncpp build/deps/jsoncpp include/json/json.h
scripts/fetch-source.sh cpp-httplib build/deps/cpp-httplib httplib.h

# The tests' certificates (tests/support/issue-test-certificates.sh), made once
# per build tree: both builds pin the tests' publisher, and the test build
# signs its stand-in setups and driver with its key.
pki=$root/build/test-pki
tests/support/issue-test-certificates.sh "$pki"

# Tests and the demo talk to a package-information service on loopback; the
# product's own default is in settings/CMakeLists.txt.
service_url=http://127.0.0.1:18080

# The shipped executable exactly as a distributor builds it, except for its
# service address: one that is not loopback (a release refuses that), whose
# host name the i386 guest maps to its own package service; and its floor,
# the tests' 1.0.0.0, below the demo setup's version.
QUILL_RELEASE_BUILD=build/ship QUILL_RELEASE_DIST=build/ship/dist \
  SERVICE_URL=http://packages.test PUBLISHER_KEYS="$pki/publisher.pem" MIN_SETUP_VERSION=1.0.0.0 \
  scripts/release.sh

cmake -S . -B build/test -G "Unix Makefiles" --no-warn-unused-cli \
  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-posix.cmake \
  -DCMAKE_BUILD_TYPE=Debug \
  -DQUILL_BUILD_TESTS=ON \
  -DQUILL_SERVICE_BASE_URL="$service_url" \
  -DQUILL_PUBLISHER_KEYS="$pki/publisher.pem" -DQUILL_TEST_PKI_DIR="$pki" \
  -DQUILL_SHIPPED_EXE="$root/build/ship/app/QuillnestMini.exe" >/dev/null
cmake --build build/test -j "$jobs"
