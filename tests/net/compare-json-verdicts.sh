#!/usr/bin/env bash
# Runs the odd documents through both builds of json_verdicts and fails on
# any line that differs. Usage: compare-json-verdicts.sh pristine.exe patched.exe
set -euo pipefail
run=$(dirname "$0")/../../scripts/wine-run
pristine=$("$run" "$1" | tr -d '\r')
patched=$("$run" "$2" | tr -d '\r')
lines=$(grep -c . <<<"$pristine")
[ "$lines" -gt 0 ] || { echo "no verdicts from $1"; exit 1; }
if [ "$pristine" != "$patched" ]; then
  diff <(echo "$pristine") <(echo "$patched") || true
  echo "the patched jsoncpp judges differently (< Debian's, > patched)"
  exit 1
fi
echo "$patched"
echo "same verdicts and values for all $lines documents"
