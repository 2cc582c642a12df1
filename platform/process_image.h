#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace rerozadez {

// path in long form (GetLongPathNameW), or path as given when Windows cannot
// tell one (the file is gone).
std::wstring LongPathForm(const std::wstring& path);

// True when a and b name the same file: equal, ignoring case, once longForm
// (LongPathForm for this machine's files) has put each in long form.
bool SameImagePath(const std::wstring& a, const std::wstring& b,
                   std::wstring (*longForm)(const std::wstring&));

// The image file of the running process processId, and its creation time (as
// ProcessCreationTime gives it), read through one handle so that both belong
// to the same process: QueryFullProcessImageNameW where Windows has it (Vista
// and later), else psapi's GetModuleFileNameExW (XP). False when the process
// cannot be opened or its path not read.
bool ReadProcessImage(DWORD processId, std::wstring* path, uint64_t* created);

}  // namespace rerozadez
