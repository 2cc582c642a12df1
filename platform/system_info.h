#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace rerozadez {

// The running system's major and minor version as GetVersionEx reports it
// (so Wine's per-program version setting applies). False when unknown.
bool GetWindowsVersion(DWORD* major, DWORD* minor);

// True for Windows XP, 2000 and older: versions below 5.2.
bool IsXpOrEarlierVersion(DWORD major, DWORD minor);

// Size in bytes of the named file; 0 when it cannot be opened for reading
// (missing, or held open for writing by someone else). 64-bit, so a file of
// 4 GiB or more does not wrap.
uint64_t FileLength(const std::wstring& path);

// True when a file or folder exists at path.
bool PathExists(const std::wstring& path);

// True when path names an existing file (not a folder).
bool IsExistingFile(const std::wstring& path);

}  // namespace rerozadez
