#!/usr/bin/env bash
# Fails when a Windows executable imports a DLL that is not Windows' own, or a
# function that Windows XP lacks (it would then not even load there), or when
# its manifest does not declare DPI awareness. The
# import table may name only DLLs that every Windows from XP to 11 loads from
# its own folder (known DLLs and their dependencies), so that a DLL planted
# beside the program is never loaded with it; Windows' other DLLs must be
# delay-loaded (the program loads those from the system folder itself).
# Usage: check-imports.sh program.exe
set -euo pipefail
exe=$1
objdump=i686-w64-mingw32-objdump
grep -q "PE32 executable (GUI) Intel 80386" <<<"$(file "$exe")" ||
  { echo "not a 32-bit GUI executable: $(file -b "$exe")"; exit 1; }

header=$($objdump -p "$exe")
for field in MajorOSystemVersion MajorSubsystemVersion; do
  grep -qE "^$field[[:space:]]+5$" <<<"$header" || { echo "$field is not 5"; exit 1; }
done
for field in MinorOSystemVersion MinorSubsystemVersion; do
  grep -qE "^$field[[:space:]]+1$" <<<"$header" || { echo "$field is not 1"; exit 1; }
done

allowed='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|msvcrt)\.dll$'
delay_allowed='^(comctl32|gdiplus|shell32|shlwapi|version|wininet|cabinet|uxtheme|wintrust|crypt32)\.dll$'
# Functions first shipped after Windows XP SP3 that a toolchain may pull in,
# and every secure-CRT (_s) function, which XP's msvcrt.dll lacks.
vista_only='^(GetTickCount64|.*SRWLock.*|.*ConditionVariable.*|InitOnce.*|Fls(Alloc|Free|GetValue|SetValue)|InitializeCriticalSectionEx|Create(Event|Mutex|Semaphore|WaitableTimer)Ex[AW]?|CreateSymbolicLink[AW]?|GetFinalPathNameByHandle[AW]?|GetFileInformationByHandleEx|SetFileInformationByHandle|QueryFullProcessImageName[AW]?|K32.*|GetErrorMode|CancelIoEx|CompareStringEx|LCMapStringEx|GetLocaleInfoEx|LocaleNameToLCID|LCIDToLocaleName|GetUserDefaultLocaleName|ResolveLocaleName|GetSystemTimePreciseAsFileTime|WaitOnAddress|WakeByAddress.*|RegGetValue[AW]|RegSetKeyValue[AW]|RegDeleteTree[AW]|RegDeleteKeyEx[AW]|RegDeleteKeyValue[AW]|Wow64DisableWow64FsRedirection|Wow64RevertWow64FsRedirection|GetProductInfo|SetThreadStackGuarantee|GetCurrentProcessorNumber|GetThreadId|GetProcessId|CreateRemoteThreadEx|ChangeWindowMessageFilter(Ex)?|SetProcessDPIAware|IsProcessDPIAware|GetDpiForWindow|AddDllDirectory|SetDefaultDllDirectories|.*_s)$'

status=0
dll=""
while read -r line; do
  case "$line" in
    "DLL Name: "*)
      dll=$(echo "${line#DLL Name: }" | tr 'A-Z' 'a-z')
      if ! [[ $dll =~ $allowed ]]; then
        if [[ $dll =~ $delay_allowed ]]; then
          echo "imports $dll, which Windows may take from the program's folder: delay-load it"
        else
          echo "not one of Windows' own DLLs: $dll"
        fi
        status=1
      fi
      ;;
    *)
      # Import lines read "<address> <hint> <name>" inside a DLL's section.
      if [ -n "$dll" ] && [[ $line =~ ^[0-9a-f]+[[:space:]]+[0-9]+[[:space:]]+([A-Za-z_][A-Za-z0-9_@]*)$ ]]; then
        name=${BASH_REMATCH[1]}
        if [[ $name =~ $vista_only ]]; then
          echo "$dll imports $name, which Windows XP lacks"
          status=1
        fi
      fi
      ;;
  esac
done < <(echo "$header" | sed -n '/^The Import Tables/,/^The Export Tables\|^The Function Table\|^PE File Base Relocations/p')

# The delay-loaded functions: the loader never sees them, so they are read
# from the delay-import descriptors.
delayed=$(python3 "$(dirname "$0")/list-delay-imports.py" "$exe")
while read -r dll name state; do
  [ -n "$dll" ] || continue
  if [ -n "$state" ]; then
    echo "$dll (delay-loaded): the address slot of $name does not lead to its loading stub"
    status=1
  fi
  if ! [[ $dll =~ $delay_allowed ]]; then
    echo "delay-loads $dll, which is not one of Windows' own DLLs"
    status=1
  fi
  if [[ $name =~ $vista_only ]]; then
    echo "$dll (delay-loaded) imports $name, which Windows XP lacks"
    status=1
  fi
done <<<"$delayed"

# The manifest, embedded as text, declares the program DPI-aware inside an
# asm.v3 <application>, the form Windows XP skips (an asm.v1 one stops XP
# from starting the program).
if ! grep -aq '<application xmlns="urn:schemas-microsoft-com:asm.v3">' "$exe" ||
    ! grep -aq '<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true</dpiAware>' "$exe"; then
  echo "the manifest does not declare DPI awareness in the asm.v3 namespace"
  status=1
fi

dlls=$(grep -c 'DLL Name:' <<<"$header" || true)
functions=$(sed -n '/^The Import Tables/,/^The Export Tables/p' <<<"$header" | grep -cE '^\s+[0-9a-f]+\s+[0-9]+\s+\w' || true)
delayed_functions=$(grep -c . <<<"$delayed" || true)
delayed_dlls=$(cut -d' ' -f1 <<<"$delayed" | sort -u | grep -c . || true)
[ "$status" -eq 0 ] && echo "imports fine: $functions functions from $dlls DLLs and $delayed_functions delay-loaded from $delayed_dlls, all Windows' own, nothing XP lacks; manifest DPI-aware"
exit $status
