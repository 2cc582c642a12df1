#include "settings/sys_util.h"

#include <io.h>
#include <windows.h>

#include <vector>

#include "platform/process_instance.h"
#include "platform/system_info.h"
#include "platform/diagnostic_log.h"
#include "platform/text_encoding.h"
#include "settings/setup_settings.h"

namespace rerozadez {
namespace {

const wchar_t kMakerFolder[] = L"\\Travik";
const wchar_t kProductFolder[] = L"rerozadez";

// _waccess modes: 0 tests existence, 6 tests reading and writing.
const int kAccessExists = 0;
const int kAccessReadWrite = 6;

// Creates one folder level when the access test fails. True when the level
// passed the test or was created.
bool EnsureFolderLevel(const std::wstring& path, int accessMode) {
  if (_waccess(path.c_str(), accessMode) == 0) {
    return true;
  }
  return CreateDirectoryW(path.c_str(), nullptr) != FALSE;
}

}  // namespace

std::wstring SysUtil::GetTempWorkFolder() const {
  std::vector<wchar_t> temp(1024, L'\0');
  GetTempPathW(static_cast<DWORD>(temp.size()), temp.data());
  std::wstring path = temp.data();
  // GetTempPath ends in a backslash; the maker folder brings its own.
  if (!path.empty() && path.back() == L'\\') {
    path.pop_back();
  }
  path += kMakerFolder;
  EnsureFolderLevel(path, kAccessReadWrite);
  path += L"\\";
  path += kProductFolder;
  EnsureFolderLevel(path, kAccessReadWrite);
  return path;
}

std::wstring SysUtil::GetAppDataWorkFolder() const {
  std::vector<wchar_t> appData(1024, L'\0');
  DWORD length =
      GetEnvironmentVariableW(L"APPDATA", appData.data(), static_cast<DWORD>(appData.size()));
  // A value too long for the buffer is as good as none.
  std::wstring path = length < appData.size() ? appData.data() : L"";
  path += kMakerFolder;
  if (!EnsureFolderLevel(path, kAccessExists)) {
    // The one message the program shows: without this folder no setup file
    // can be kept, and the user should know where it was meant to be. An
    // unattended run has nobody to click it away: its log says it.
    if (GetSetupSettings()->IsUnattended()) {
      LogLine("the working folder %s cannot be created", LogText(path).c_str());
    } else {
      MessageBoxW(nullptr, path.c_str(), L"info", MB_OK);
    }
  }
  path += L"\\";
  path += kProductFolder;
  EnsureFolderLevel(path, kAccessReadWrite);
  return path;
}

std::wstring SysUtil::AnsiToWide(const char* text) const {
  return MultiByteToWide(CP_ACP, text);
}

std::string SysUtil::WideToAnsi(const wchar_t* text) const {
  return WideToMultiByte(CP_ACP, text);
}

uint64_t SysUtil::GetFileLength(std::wstring path) const {
  return FileLength(path);
}

bool SysUtil::IsXpOrEarlier() const {
  DWORD major = 0;
  DWORD minor = 0;
  return GetWindowsVersion(&major, &minor) && IsXpOrEarlierVersion(major, minor);
}

SysUtil* GetSysUtil() {
  return ProcessInstance<SysUtil>();
}

}  // namespace rerozadez
