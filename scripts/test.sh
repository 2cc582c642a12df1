#!/usr/bin/env bash
# The whole test run from nothing: dependencies, both builds, the Wine prefix,
# then every test through CTest (unit tests under Wine, the shipped
# executable's import check).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/install-deps.sh
scripts/build.sh
scripts/wine-prefix.sh null

source scripts/wine-env.sh
# A persistent wineserver with Wine's services already up: otherwise CTest
# waits on pipes that the services inherit, and every test pays their start.
"$WINESERVER" -p </dev/null >/dev/null 2>&1 || true
quill_wine wineboot </dev/null >/dev/null 2>&1 || true
trap '"$WINESERVER" -k >/dev/null 2>&1 || true' EXIT

ctest --test-dir build/test --output-on-failure --timeout 600 "$@"
