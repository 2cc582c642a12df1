#include "platform/folders.h"

#include <windows.h>

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
  // The level above first; a drive ("C:") or a share's root ends the climb,
  // and a failure there shows up as this level's.
  const std::wstring parent = FolderOf(folder);
  if (!parent.empty() && parent.size() < folder.size() && parent.back() != L':' &&
      parent.find_first_not_of(L"\\/") != std::wstring::npos) {
    const Status above = MakeFolderTree(parent, step);
    if (!above.ok()) {
      return above;
    }
  }
  if (!CreateDirectoryW(folder.c_str(), nullptr) && !IsFolder(folder)) {
    return Status::LastError(step, LogText(folder));
  }
  return Status::Ok();
}

}  // namespace rerozadez
