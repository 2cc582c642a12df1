#include "platform/folders.h"

#include <windows.h>

#include <vector>

#include "platform/diagnostic_log.h"

namespace rerozadez {
namespace {

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

std::wstring FolderOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

Status MakeFolderTree(const std::wstring& path, StatusStep step) {
  std::wstring folder = path;
  while (folder.size() > 1 && (folder.back() == L'\\' || folder.back() == L'/')) {
    folder.pop_back();
  }
  if (folder.empty() || IsFolder(folder)) {
    return Status::Ok();
  }
  // The lengths of the levels to make, deepest first, found by climbing to
  // the first level that exists. A loop, not recursion: a path (from /log,
  // say) may have thousands of levels. A drive ("C:") or a share's root
  // ends the climb, and a failure there shows up as the level below's.
  std::vector<size_t> missing;
  for (size_t length = folder.size();;) {
    missing.push_back(length);
    const size_t slash = folder.find_last_of(L"\\/", length - 1);
    if (slash == std::wstring::npos || slash == 0) {
      break;
    }
    const std::wstring parent = folder.substr(0, slash);
    if (parent.back() == L':' || parent.find_first_not_of(L"\\/") == std::wstring::npos ||
        IsFolder(parent)) {
      break;
    }
    length = slash;
  }
  for (size_t index = missing.size(); index-- > 0;) {
    const std::wstring level = folder.substr(0, missing[index]);
    if (!CreateDirectoryW(level.c_str(), nullptr)) {
      // Read before IsFolder's own call replaces it.
      const DWORD code = GetLastError();
      if (!IsFolder(level)) {
        return Status::Windows(step, code, LogText(level));
      }
    }
  }
  return Status::Ok();
}

}  // namespace rerozadez
