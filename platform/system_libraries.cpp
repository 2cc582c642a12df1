// Where the program's DLLs come from. The import table names only DLLs that
// every Windows from XP to 11 takes from its own folder (kernel32, user32,
// gdi32, advapi32, ole32, msvcrt); the rest are delay-loaded
// (cmake/QuillDelayLoad.cmake) and reach the loader through the hook below.
#include "platform/system_libraries.h"

#include <delayimp.h>

#include <string>

namespace rerozadez {
namespace {

// Windows 8, and Vista or 7 with update KB2533623, have
// SetDefaultDllDirectories; its absence is the XP fallback.
typedef BOOL(WINAPI* SetDefaultDllDirectoriesFunction)(DWORD);
const DWORD kSearchSystemFolderOnly = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

// True when the process's manifest redirects name to a side-by-side assembly.
// Such a DLL must be loaded by bare name: a full path bypasses the
// redirection and would give the system folder's older copy.
bool RedirectedByManifest(const wchar_t* name) {
  ACTCTX_SECTION_KEYED_DATA data = {};
  data.cbSize = sizeof(data);
  return FindActCtxSectionStringW(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION, name,
                                  &data) != FALSE;
}

// The delay-load helper asks before each DLL it loads; a module handed back
// is used instead of its own LoadLibrary by bare name, which on XP would
// search the program's folder first.
FARPROC WINAPI LoadDelayedLibrary(unsigned notification, PDelayLoadInfo info) {
  if (notification != dliNotePreLoadLibrary || info->szDll == nullptr) {
    return nullptr;
  }
  // DLL names in an import table are ASCII.
  std::wstring name(info->szDll, info->szDll + lstrlenA(info->szDll));
  // Null (the DLL is missing from the system folder) lets the helper try the
  // bare name, which the restricted search keeps to the system folder on
  // every Windows but XP.
  return reinterpret_cast<FARPROC>(LoadSystemLibrary(name.c_str()));
}

}  // namespace

void RestrictDllSearchToSystemFolder() {
  SetDefaultDllDirectoriesFunction setDefaultDllDirectories =
      reinterpret_cast<SetDefaultDllDirectoriesFunction>(reinterpret_cast<void*>(
          GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (setDefaultDllDirectories == nullptr || !setDefaultDllDirectories(kSearchSystemFolderOnly)) {
    // Takes the current folder out of the search; the program's folder stays
    // in it, so what this program loads itself goes by full path.
    SetDllDirectoryW(L"");
  }
  __pfnDliNotifyHook2 = LoadDelayedLibrary;
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
  if (RedirectedByManifest(name)) {
    // The loader takes a redirected DLL from the assembly store before it
    // looks in any folder.
    return LoadLibraryW(name);
  }
  wchar_t folder[MAX_PATH] = L"";
  UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    return nullptr;
  }
  std::wstring path = std::wstring(folder) + L"\\" + name;
  // The altered search path takes the DLL's own imports from its folder too.
  return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace rerozadez
