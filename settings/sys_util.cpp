#include "settings/sys_util.h"

#include <windows.h>

#include "settings/scoped_handle.h"

namespace rerozadez {

uint64_t SysUtil::GetFileLength(std::wstring path) const {
  ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size;
  if (!file.IsValid() || !GetFileSizeEx(file.Get(), &size)) {
    return 0;
  }
  return static_cast<uint64_t>(size.QuadPart);
}

bool SysUtil::IsXpOrEarlier() const {
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  if (!GetVersionExW(&version)) {
    return false;
  }
  return version.dwMajorVersion < 5 || (version.dwMajorVersion == 5 && version.dwMinorVersion < 2);
}

}  // namespace rerozadez
