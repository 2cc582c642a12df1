#include "settings/config_file.h"

#include <windows.h>

#include <cwchar>
#include <vector>

#include "settings/scoped_handle.h"
#include "settings/setup_settings.h"
#include "settings/sys_util.h"

namespace rerozadez {
namespace {

const wchar_t kConfigFileName[] = L"SetupConfig.txt";
const wchar_t kTrimSet[] = L"\t\n\r ";

// A configuration is a few lines; anything larger is not one of ours, and
// refusing it keeps a hostile file from costing gigabytes of memory.
const DWORD kMaxConfigBytes = 1024 * 1024;

}  // namespace

std::wstring DecodeConfigText(const std::string& bytes) {
  if (!bytes.empty() && bytes[0] != '\0') {
    // std::string keeps the bytes after a zero; the ANSI reading stops there.
    return GetSysUtil()->AnsiToWide(bytes.c_str());
  }
  std::wstring text;
  for (size_t i = 0; i < bytes.size(); i += 2) {
    unsigned low = static_cast<unsigned char>(bytes[i]);
    unsigned high = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0;
    wchar_t unit = static_cast<wchar_t>(low | (high << 8));
    if (unit == L'\0') {
      break;
    }
    text.push_back(unit);
  }
  return text;
}

std::wstring GetConfigValue(const std::wstring& text, const std::wstring& key) {
  size_t keyAt = text.find(key);
  if (keyAt == std::wstring::npos) {
    return std::wstring();
  }
  size_t lineEnd = text.find(L'\n', keyAt);
  size_t equals = text.find(L'=', keyAt);
  // An "=" past the line end belongs to a later line: the key's own line has
  // no value, and the value must not run on into the rest of the file.
  if (lineEnd == std::wstring::npos || equals == std::wstring::npos || equals > lineEnd) {
    return std::wstring();
  }
  std::wstring value = text.substr(equals + 1, lineEnd - equals - 1);
  size_t first = value.find_first_not_of(kTrimSet);
  if (first == std::wstring::npos) {
    return std::wstring();
  }
  size_t last = value.find_last_not_of(kTrimSet);
  return value.substr(first, last - first + 1);
}

int ReadConfigFlag(const std::wstring& text) {
  // wcstol saturates on overflow, so no long digit string wraps round to 1.
  return wcstol(text.c_str(), nullptr, 10) == 1 ? 1 : 0;
}

int SetupSettings::LoadSetupConfig() {
  std::vector<wchar_t> moduleName(1024, L'\0');
  GetModuleFileNameW(nullptr, moduleName.data(), static_cast<DWORD>(moduleName.size()));
  moduleDir = moduleName.data();
  size_t lastSlash = moduleDir.rfind(L'\\');
  if (lastSlash != std::wstring::npos) {
    moduleDir.erase(lastSlash + 1);
  }

  std::wstring configPath = moduleDir + kConfigFileName;
  ScopedHandle file(CreateFileW(configPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) {
    return 0;
  }
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart > kMaxConfigBytes) {
    return 0;
  }
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!bytes.empty() &&
      !ReadFile(file.Get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr)) {
    return 0;
  }
  bytes.resize(read);
  std::wstring text = DecodeConfigText(bytes);

  setupBigPackage = GetConfigValue(text, L"SetupBigPackage");
  driverPath = GetConfigValue(text, L"Driver");
  if (!driverPath.empty()) {
    // The key holds a path relative to the installer's folder, and only a
    // file there can be started: "Driver=." names the folder itself.
    driverPath = moduleDir + driverPath;
    DWORD attributes = GetFileAttributesW(driverPath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      driverPath.clear();
    }
  }
  driverParams = GetConfigValue(text, L"DriverParams");
  channel = GetConfigValue(text, L"Channel");
  overSea = ReadConfigFlag(GetConfigValue(text, L"OverSea"));
  mediaPlayer = ReadConfigFlag(GetConfigValue(text, L"MediaPlayer"));
  return 0;
}

}  // namespace rerozadez
