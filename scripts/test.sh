#!/usr/bin/env bash
# The whole test run from nothing: dependencies, the builds (the shipped
# executable as a release build), the Wine prefix, then every test through
# CTest (unit tests under Wine, the shipped executable's import check, and the
# shipped executable end to end in an emulated i386 machine).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/install-deps.sh
# The i386 guest image (built once per machine, then cached) is made while
# the program compiles; the i386 stage waits for it. A run of chosen cases
# (arguments for CTest) leaves it to the stage, if it runs.
mkdir -p build
if [ $# -eq 0 ]; then
  scripts/i386/guest-image.sh >/dev/null 2>build/i386-guest-image.log &
fi
scripts/build.sh
scripts/wine-prefix.sh null

source scripts/wine-env.sh
# A persistent wineserver with Wine's services already up: otherwise CTest
# waits on pipes that the services inherit, and every test pays their start.
"$WINESERVER" -p </dev/null >/dev/null 2>&1 || true
quill_wine wineboot </dev/null >/dev/null 2>&1 || true
trap '"$WINESERVER" -k >/dev/null 2>&1 || true' EXIT

if [ $# -gt 0 ]; then
  exec ctest --test-dir build/test --output-on-failure --timeout 600 "$@"
fi
# The i386 stage first and on its own, so that its per-case results are
# printed; then everything else. A failure of either fails the run.
status=0
ctest --test-dir build/test --output-on-failure --verbose -R '^I386Guest\.' || status=1
ctest --test-dir build/test --output-on-failure --timeout 600 -E '^I386Guest\.' || status=1
exit $status
