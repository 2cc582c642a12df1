#pragma once

#include <string>

namespace rerozadezGUI {

// Brings the window of an already running copy of this program (the first
// visible window of a process with the same image name) to the front.
void ActivateRunningInstance();

// The file name after the last backslash of path; empty when path has no
// backslash.
std::wstring FileNameAfterLastBackslash(const std::wstring& path);

}  // namespace rerozadezGUI
