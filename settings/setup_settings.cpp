#include "settings/setup_settings.h"

#include <windows.h>

#include <vector>

#include "platform/process_instance.h"
#include "platform/registry_util.h"
#include "platform/scoped.h"
#include "platform/status.h"
#include "platform/system_info.h"
#include "settings/config_file.h"
#include "settings/sys_util.h"

namespace rerozadez {

const wchar_t kSetupFileName[] = L"Quillnest_SetUp_mini.exe";

namespace {

const wchar_t kConfigFileName[] = L"SetupConfig.txt";
const wchar_t kBackupSetupFileName[] = L"Quillnest_SetUp_mini_backup.exe";
const wchar_t kDiagnosticLogFileName[] = L"QuillnestMini.log";
const wchar_t kSuiteKey[] = L"SOFTWARE\\Quillnest";

// A configuration is a few lines; anything larger is not one of ours, and
// refusing it keeps a hostile file from costing gigabytes of memory.
const DWORD kMaxConfigBytes = 1024 * 1024;

}  // namespace

SetupSettings::SetupSettings()
    : overSea(false), mediaPlayer(false), diagnosticLog(true), runMode(RunMode::kNormal) {}

SetupSettings* GetSetupSettings() {
  return ProcessInstance<SetupSettings>();
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
    if (!IsExistingFile(driverPath)) {
      driverPath.clear();
    }
  }
  driverParams = GetConfigValue(text, L"DriverParams");
  channel = GetConfigValue(text, L"Channel");
  overSea = ReadConfigFlag(GetConfigValue(text, L"OverSea"));
  mediaPlayer = ReadConfigFlag(GetConfigValue(text, L"MediaPlayer"));
  // A key no other key contains, nor is contained in: found by substring
  // like the others, it must not be matched inside another key's name.
  diagnosticLog = ReadConfigSwitch(GetConfigValue(text, L"DiagnosticLog"));
  // Neither key contains the other; "SetupSource" is a folder or a share.
  setupParams = GetConfigValue(text, L"SetupParams");
  setupQuietParams = GetConfigValue(text, L"SetupQuietParams");
  sourceFolder = GetConfigValue(text, L"SetupSource");
  // No other key contains "Language" or is contained in it.
  languageSetting = GetConfigValue(text, L"Language");
  return 0;
}

std::wstring SetupSettings::GetWorkFolder() const {
  return GetSysUtil()->GetAppDataWorkFolder();
}

std::wstring SetupSettings::GetSetupFilePath() const {
  return GetWorkFolder() + L"\\" + kSetupFileName;
}

std::wstring SetupSettings::GetDiagnosticLogPath() const {
  return GetSysUtil()->GetTempWorkFolder() + L"\\" + kDiagnosticLogFileName;
}

std::wstring SetupSettings::GetBackupSetupFilePath() const {
  return GetWorkFolder() + L"\\" + kBackupSetupFileName;
}

void SetupSettings::ApplyCommandLine(const CommandLine& line) {
  // A layout needs nobody at the screen: it runs passive unless quiet.
  runMode =
      line.mode == RunMode::kNormal && !line.layoutFolder.empty() ? RunMode::kPassive : line.mode;
  layoutFolder = line.layoutFolder;
  if (!line.sourceFolder.empty()) {
    sourceFolder = line.sourceFolder;
  }
  languageSwitch = line.language;
}

UiLanguage SetupSettings::WindowLanguage() const {
  return ChooseUiLanguage(GetUserDefaultUILanguage(), languageSetting, languageSwitch);
}

const std::wstring& SetupSettings::SetupParameters() const {
  return IsUnattended() ? setupQuietParams : setupParams;
}

bool SetupSettings::IsSuiteInstalled(std::string& version, std::wstring& installDir) const {
  // The version is narrow text for the comparison; the folder stays wide.
  Status versionRead, folderRead;
  version = GetRegistryUtil()->QueryStringA(HKEY_LOCAL_MACHINE, GetSysUtil()->WideToAnsi(kSuiteKey),
                                            "Version", &versionRead);
  installDir =
      GetRegistryUtil()->QueryStringW(HKEY_LOCAL_MACHINE, kSuiteKey, L"InstallDir", &folderRead);
  // Without the suite both are missing (code 2). Any other failure would
  // hide an installed suite, and the log should say why.
  for (const Status* read : {&versionRead, &folderRead}) {
    if (!read->ok() && read->code != ERROR_FILE_NOT_FOUND) {
      LogStatus("installed suite's registry entry", *read);
    }
  }
  return !version.empty() && !installDir.empty();
}

}  // namespace rerozadez
