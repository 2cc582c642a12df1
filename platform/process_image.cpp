#include "platform/process_image.h"

#include "platform/process_instance.h"
#include "platform/process_snapshot.h"
#include "platform/scoped.h"
#include "platform/system_libraries.h"

namespace rerozadez {
namespace {

typedef BOOL(WINAPI* QueryFullProcessImageNameFunction)(HANDLE, DWORD, LPWSTR, PDWORD);
typedef DWORD(WINAPI* GetModuleFileNameExFunction)(HANDLE, HMODULE, LPWSTR, DWORD);

// The longest path Windows hands out, with its terminating null.
const DWORD kLongestPath = 32768;

// Null before Vista; looked up, not imported, so the program loads on XP.
QueryFullProcessImageNameFunction FullImageNameQuery() {
  return reinterpret_cast<QueryFullProcessImageNameFunction>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "QueryFullProcessImageNameW")));
}

GetModuleFileNameExFunction LoadModuleFileNameFunction() {
  // psapi is not a known DLL on every Windows: the system folder's copy,
  // never one planted beside the program. Kept loaded for the process's life.
  HMODULE psapi = LoadSystemLibrary(L"psapi.dll");
  return psapi == nullptr ? nullptr
                          : reinterpret_cast<GetModuleFileNameExFunction>(reinterpret_cast<void*>(
                                GetProcAddress(psapi, "GetModuleFileNameExW")));
}

// Looked up once for the process.
struct ModuleFileNameFunction {
  GetModuleFileNameExFunction function = LoadModuleFileNameFunction();
};

// Upper case by the invariant locale's simple mapping, close to how the file
// system folds names; msvcrt's folding in the "C" locale covers ASCII only.
std::wstring InvariantUpperCase(const std::wstring& text) {
  if (text.empty()) {
    return text;
  }
  std::wstring upper(text.size(), L'\0');
  const int length =
      LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, text.c_str(), static_cast<int>(text.size()),
                   &upper[0], static_cast<int>(upper.size()));
  return length == static_cast<int>(text.size()) ? upper : text;
}

// The image file of process (opened with query and memory-read rights) the
// way XP tells it; empty when it cannot be read.
std::wstring ModuleImagePath(HANDLE process) {
  const GetModuleFileNameExFunction getModuleFileName =
      ProcessInstance<ModuleFileNameFunction>()->function;
  if (getModuleFileName == nullptr) {
    return std::wstring();
  }
  std::wstring path(kLongestPath, L'\0');
  // Null module: the process's executable. A full buffer means cut short.
  const DWORD length = getModuleFileName(process, nullptr, &path[0], kLongestPath);
  if (length == 0 || length >= kLongestPath) {
    return std::wstring();
  }
  path.resize(length);
  return path;
}

}  // namespace

std::wstring LongPathForm(const std::wstring& path) {
  std::wstring longPath(MAX_PATH, L'\0');
  DWORD length = GetLongPathNameW(path.c_str(), &longPath[0], MAX_PATH);
  if (length >= MAX_PATH) {
    // Too long for the first buffer: length is the size needed.
    longPath.assign(length, L'\0');
    length = GetLongPathNameW(path.c_str(), &longPath[0], length);
  }
  if (length == 0 || length >= longPath.size()) {
    return path;
  }
  longPath.resize(length);
  return longPath;
}

bool SameImagePath(const std::wstring& a, const std::wstring& b,
                   std::wstring (*longForm)(const std::wstring&)) {
  return InvariantUpperCase(longForm(a)) == InvariantUpperCase(longForm(b));
}

bool ReadProcessImage(DWORD processId, std::wstring* path, uint64_t* created) {
  path->clear();
  *created = 0;
  const QueryFullProcessImageNameFunction query = FullImageNameQuery();
  // The limited right (Vista and later) opens more processes than the full
  // query right; XP knows only the latter, and psapi reads the process's
  // memory.
  ScopedHandle process(OpenProcess(query != nullptr ? PROCESS_QUERY_LIMITED_INFORMATION
                                                    : PROCESS_QUERY_INFORMATION | PROCESS_VM_READ,
                                   FALSE, processId));
  if (!process.IsValid()) {
    return false;
  }
  *created = CreationTimeOf(process.Get());
  if (query == nullptr) {
    *path = ModuleImagePath(process.Get());
  } else {
    std::wstring queried(kLongestPath, L'\0');
    DWORD length = kLongestPath;
    // Flags 0: the Win32 form of the path, not the native one.
    if (query(process.Get(), 0, &queried[0], &length) && length > 0 && length < kLongestPath) {
      queried.resize(length);
      *path = queried;
    }
  }
  return *created != 0 && !path->empty();
}

}  // namespace rerozadez
