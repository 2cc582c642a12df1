#!/usr/bin/env bash
# Builds a delay-import library for one Windows DLL from the toolchain's
# ordinary import library: the same functions, bound on their first call
# instead of when the program loads.
# Usage: make-delay-library.sh 32|64 <nm> <dlltool> <import library> <dll name> <output>
set -euo pipefail
bits=$1 nm=$2 dlltool=$3 import_library=$4 dll=$5 output=$6
def=${output%.a}.def

# Each function appears as __imp_<symbol>. 32-bit symbols carry a leading
# underscore and stdcall's @<bytes>, which --kill-at drops from the imported
# name; 64-bit symbols are the bare names.
if [ "$bits" = 32 ]; then
  strip='s/^_//' kill_at=--kill-at
else
  strip='' kill_at=''
fi
{
  echo "LIBRARY $dll"
  echo "EXPORTS"
  "$nm" "$import_library" | sed -n 's/^.* I __imp_\(.*\)$/\1/p' | sed "$strip" | sort -u
} >"$def"
"$dlltool" $kill_at --input-def "$def" --dllname "$dll" --output-delaylib "$output"
