#!/usr/bin/env bash
# Builds a delay-import library for one Windows DLL from the toolchain's
# ordinary import library: the same functions, bound on their first call
# instead of when the program loads.
# Usage: make-delay-library.sh 32|64 <nm> <dlltool> <objcopy> <import library> <dll name> <output>
set -euo pipefail
bits=$1 nm=$2 dlltool=$3 objcopy=$4 import_library=$5 dll=$6 output=$7
# Made beside the output and moved over it only when it differs: every
# configure runs this, and a touched library would relink every program.
final=$output
output=$final.new
def=${final%.a}.def

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
if [ "$bits" = 32 ]; then
  # The 32-bit linker drops a jump stub of an import library when nothing
  # calls it by name, as with every function declared dllimport. Here the
  # stubs are what the function's address slot starts out pointing at (the
  # first call loads the DLL through them): dropped, the slot stays zero and
  # that call jumps to address 0. Marked as data, they are no longer taken for
  # jump stubs; by their name they still land in the program's code.
  "$objcopy" --rename-section '.text=.text$delay,alloc,load,readonly,contents,data' "$output"
fi
if cmp -s "$output" "$final"; then
  rm -f "$output"
else
  mv -f "$output" "$final"
fi
