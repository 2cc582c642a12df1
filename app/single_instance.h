#pragma once

#include <string>

namespace rerozadezGUI {

// The file name after the last backslash of path; empty when path has no
// backslash.
std::wstring FileNameAfterLastBackslash(const std::wstring& path);

}  // namespace rerozadezGUI
