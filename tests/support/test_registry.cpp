#include "tests/support/test_registry.h"

#include <aclapi.h>
#include <shlwapi.h>

namespace quilltest {
namespace {

const wchar_t kResumeKey[] = L"SOFTWARE\\VeziDazedera";
const wchar_t kRunMarkKey[] = L"SOFTWARE\\QuillnestMini";
const wchar_t kSuiteKey[] = L"SOFTWARE\\Quillnest";

}  // namespace

void DeleteKeyTree(HKEY root, const std::wstring& path, REGSAM view) {
  // SHDeleteKey takes no view, but a parent opened in one keeps its subkeys
  // there.
  const size_t slash = path.rfind(L'\\');
  HKEY parent = root;
  if (slash == std::wstring::npos ||
      RegOpenKeyExW(root, path.substr(0, slash).c_str(), 0, KEY_ALL_ACCESS | view, &parent) ==
          ERROR_SUCCESS) {
    SHDeleteKeyW(parent, path.substr(slash + 1).c_str());
  }
  if (parent != root) {
    RegCloseKey(parent);
  }
}

bool SetRegistryValue(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
                      const void* data, DWORD size, REGSAM view) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const LONG result =
      RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

bool SetRegistryText(HKEY root, const std::wstring& path, const std::wstring& name,
                     const std::wstring& text, REGSAM view) {
  return SetRegistryValue(root, path, name, REG_SZ, text.c_str(),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)), view);
}

bool ReadRegistryValue(HKEY root, const std::wstring& path, const std::wstring& name, DWORD* type,
                       std::string* bytes, REGSAM view) {
  HKEY key = nullptr;
  LONG result = RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE | view, &key);
  BYTE data[8192];
  DWORD size = sizeof(data);
  if (result == ERROR_SUCCESS) {
    result = RegQueryValueExW(key, name.c_str(), nullptr, type, data, &size);
    RegCloseKey(key);
  }
  bytes->assign(reinterpret_cast<char*>(data), result == ERROR_SUCCESS ? size : 0);
  return result == ERROR_SUCCESS;
}

std::wstring ReadRegistryText(HKEY root, const std::wstring& path, const std::wstring& name,
                              REGSAM view) {
  DWORD type = 0;
  std::string bytes;
  if (!ReadRegistryValue(root, path, name, &type, &bytes, view) || type != REG_SZ) {
    return kMissingValue;
  }
  std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
  bytes.copy(reinterpret_cast<char*>(&text[0]), text.size() * sizeof(wchar_t));
  return text.substr(0, text.find(L'\0'));
}

void DeleteProgramKeys() {
  DeleteKeyTree(HKEY_CURRENT_USER, kResumeKey);
  DeleteKeyTree(HKEY_CURRENT_USER, kRunMarkKey);
  DeleteKeyTree(HKEY_LOCAL_MACHINE, kSuiteKey);
}

ScopedProgramKeys::ScopedProgramKeys() {
  DeleteProgramKeys();
}

ScopedProgramKeys::~ScopedProgramKeys() {
  DeleteProgramKeys();
}

std::string ReadResumeRecord(const std::wstring& name) {
  const std::wstring text = ReadRegistryText(HKEY_CURRENT_USER, kResumeKey, name);
  return text == kMissingValue ? std::string() : std::string(text.begin(), text.end());
}

bool MarkSuiteInstalled(const std::wstring& version, const std::wstring& installDir) {
  return SetRegistryText(HKEY_LOCAL_MACHINE, kSuiteKey, L"Version", version) &&
         SetRegistryText(HKEY_LOCAL_MACHINE, kSuiteKey, L"InstallDir", installDir);
}

void SetSystemProxy(int port) {
  const wchar_t kInternetSettings[] =
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
  const DWORD enable = port != 0 ? 1 : 0;
  SetRegistryValue(HKEY_CURRENT_USER, kInternetSettings, L"ProxyEnable", REG_DWORD, &enable,
                   sizeof(enable), 0);
  if (port != 0) {
    SetRegistryText(HKEY_CURRENT_USER, kInternetSettings, L"ProxyServer",
                    L"127.0.0.1:" + std::to_wstring(port), 0);
  } else {
    SHDeleteValueW(HKEY_CURRENT_USER, kInternetSettings, L"ProxyServer");
  }
}

bool SetKeyAccess(const std::wstring& path, DWORD access, REGSAM view) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, WRITE_DAC | view, &key) != ERROR_SUCCESS) {
    return false;
  }
  EXPLICIT_ACCESSW entry = {};
  BuildExplicitAccessWithNameW(&entry, const_cast<wchar_t*>(L"EVERYONE"), access, SET_ACCESS,
                               NO_INHERITANCE);
  PACL dacl = nullptr;
  const bool set = SetEntriesInAclW(1, &entry, nullptr, &dacl) == ERROR_SUCCESS &&
                   SetSecurityInfo(key, SE_REGISTRY_KEY,
                                   DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                   nullptr, nullptr, dacl, nullptr) == ERROR_SUCCESS;
  LocalFree(dacl);
  RegCloseKey(key);
  return set;
}

}  // namespace quilltest
