#include "platform/registry_util.h"

#include <vector>

#include "platform/scoped.h"

namespace rerozadez {
namespace {

// The shipped program is 32-bit and sees the 32-bit view on its own; a
// 64-bit build must ask for it to meet the same entries.
#ifdef _WIN64
const REGSAM kRegistryView = KEY_WOW64_32KEY;
#else
const REGSAM kRegistryView = 0;
#endif

const size_t kWideReadBytes = 2048;
const size_t kAnsiReadBytes = 1024;

}  // namespace

bool RegistryUtil::SetCurrentUserStringW(std::wstring subKey, std::wstring name,
                                         std::wstring data) const {
  ScopedKey key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, KEY_ALL_ACCESS | kRegistryView,
                    key.Receive()) != ERROR_SUCCESS &&
      RegCreateKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, nullptr, 0,
                      KEY_ALL_ACCESS | kRegistryView, nullptr, key.Receive(),
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  // Stored without a terminator: "true" is exactly 8 bytes.
  return RegSetValueExW(key.Get(), name.c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(data.c_str()),
                        static_cast<DWORD>(data.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool RegistryUtil::SetCurrentUserStringA(std::string subKey, std::string name,
                                         std::string data) const {
  ScopedKey key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, subKey.c_str(), 0, KEY_ALL_ACCESS | kRegistryView,
                    key.Receive()) != ERROR_SUCCESS &&
      RegCreateKeyExA(HKEY_CURRENT_USER, subKey.c_str(), 0, nullptr, 0,
                      KEY_ALL_ACCESS | kRegistryView, nullptr, key.Receive(),
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  return RegSetValueExA(key.Get(), name.c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(data.c_str()),
                        static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

std::wstring RegistryUtil::QueryStringW(HKEY root, std::wstring subKey, std::wstring name) const {
  ScopedKey key;
  if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ | kRegistryView, key.Receive()) !=
      ERROR_SUCCESS) {
    return std::wstring();
  }
  // One unit more than the registry may fill: data of exactly the full size
  // carries no terminator of its own (possibly an odd byte, too).
  std::vector<wchar_t> buffer(kWideReadBytes / sizeof(wchar_t) + 1, L'\0');
  DWORD size = kWideReadBytes;
  if (RegQueryValueExW(key.Get(), name.c_str(), nullptr, nullptr,
                       reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS) {
    return std::wstring();
  }
  return buffer.data();
}

std::string RegistryUtil::QueryStringA(HKEY root, std::string subKey, std::string name) const {
  ScopedKey key;
  if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ | kRegistryView, key.Receive()) !=
      ERROR_SUCCESS) {
    return std::string();
  }
  std::vector<char> buffer(kAnsiReadBytes + 1, '\0');
  DWORD size = kAnsiReadBytes;
  if (RegQueryValueExA(key.Get(), name.c_str(), nullptr, nullptr,
                       reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS) {
    return std::string();
  }
  return buffer.data();
}

RegistryUtil* GetRegistryUtil() {
  // Deliberately leaked, like every utility object: usable while the
  // process exits.
  static RegistryUtil* const instance = new RegistryUtil();
  return instance;
}

}  // namespace rerozadez
