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

# The project's Wine prefix and those that test programs have of their own
# (build/test/wine-prefixes), made side by side, each with a persistent
# wineserver and Wine's services already up: otherwise CTest waits on pipes
# that the services inherit, and every test pays their start.
prefixes=("$root/build/wine")
mapfile -t -O 1 prefixes < build/test/wine-prefixes
making=()
for prefix in "${prefixes[@]}"; do
  QUILL_WINEPREFIX=$prefix scripts/wine-prefix.sh null &
  making+=($!)
done
for job in "${making[@]}"; do
  wait "$job"
done
in_each_prefix() {
  for prefix in "${prefixes[@]}"; do
    (export QUILL_WINEPREFIX=$prefix; source scripts/wine-env.sh; "$@") </dev/null >/dev/null 2>&1 || true
  done
}
serve() { "$WINESERVER" -p && quill_wine wineboot; }
end_server() { "$WINESERVER" -k; }
in_each_prefix serve
trap 'in_each_prefix end_server' EXIT

if [ $# -gt 0 ]; then
  ctest --test-dir build/test --output-on-failure --timeout 600 "$@"
  exit
fi
# The i386 stage first and on its own, so that its per-case results are
# printed; then everything else, two tests at a time unless QUILL_TEST_JOBS
# says otherwise (two suit two cores: most of a case is waiting on a program
# or a line; three were slower). A failure of either fails the run.
status=0
ctest --test-dir build/test --output-on-failure --verbose -R '^I386Guest\.' || status=1
ctest --test-dir build/test --output-on-failure --timeout 600 -j "${QUILL_TEST_JOBS:-2}" \
  -E '^I386Guest\.' || status=1
exit $status
