#include "platform/system_info.h"

#include "platform/scoped.h"

namespace rerozadez {

bool GetWindowsVersion(DWORD* major, DWORD* minor) {
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  if (!GetVersionExW(&version)) {
    return false;
  }
  *major = version.dwMajorVersion;
  *minor = version.dwMinorVersion;
  return true;
}

bool IsXpOrEarlierVersion(DWORD major, DWORD minor) {
  return major < 5 || (major == 5 && minor < 2);
}

uint64_t FileLength(const std::wstring& path) {
  ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size;
  if (!file.IsValid() || !GetFileSizeEx(file.Get(), &size)) {
    return 0;
  }
  return static_cast<uint64_t>(size.QuadPart);
}

bool PathExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsExistingFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace rerozadez
