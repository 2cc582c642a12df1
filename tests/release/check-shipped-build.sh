#!/usr/bin/env bash
# What the size work must not cost the shipped executable, and what it took
# out: it keeps its relocations and asks for address randomisation and DEP,
# and carries neither the iostream library (jsoncpp's stream interfaces,
# cmake/patches) nor the C++ demangler (the default terminate handler,
# platform/quiet_terminate.cpp). The type names below are the RTTI strings
# that those parts of libstdc++ bring with them.
# Usage: check-shipped-build.sh program.exe
set -euo pipefail
exe=$1
header=$(i686-w64-mingw32-objdump -h -p "$exe")
status=0
grep -qE '^\s+[0-9]+ \.reloc ' <<<"$header" || { echo "no .reloc section"; status=1; }
for flag in DYNAMIC_BASE NX_COMPAT; do
  grep -qE "^\s+$flag$" <<<"$header" || { echo "DllCharacteristics lacks $flag"; status=1; }
done
for name in St8ios_base NSt6locale5facetE St15basic_streambufIcSt11char_traitsIcEE; do
  if grep -qaF "$name" "$exe"; then
    echo "carries the iostream library (type name $name)"
    status=1
  fi
done
if grep -qaF '{default arg#' "$exe"; then
  echo "carries the C++ demangler"
  status=1
fi
[ "$status" -eq 0 ] && echo "relocations, DYNAMIC_BASE and NX_COMPAT kept; no iostream library, no demangler"
exit "$status"
