#pragma once

#include <string>

#include "platform/status.h"

namespace rerozadez {

// Creates the folder path and every missing level above it (a drive path or
// a share, "\\server\share\..."; the share itself must exist). Ok when the
// folder is there afterwards, else step with Windows' code and the level
// that could not be made.
Status MakeFolderTree(const std::wstring& path, StatusStep step);

// The folder part of a file path (before its last backslash or slash);
// empty when it has none.
std::wstring FolderOf(const std::wstring& path);

}  // namespace rerozadez
