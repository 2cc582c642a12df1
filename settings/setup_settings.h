#pragma once

#include <string>

#include "settings/command_line.h"
#include "settings/ui_language.h"

namespace rerozadez {

// The full setup's file name, in the application-data working folder and as
// the image name of a running setup.
extern const wchar_t kSetupFileName[];

// The process-wide configuration record. Written on the user-interface thread
// before any worker starts (configuration at start-up, bridgeToolPath at
// window creation) and only read afterwards, so it needs no lock.
class SetupSettings {
 public:
  SetupSettings();

  // Reads "SetupConfig.txt" beside the running executable into this record.
  // Always returns 0: a missing or unreadable file leaves every field at its
  // initial value except moduleDir, which is set first.
  int LoadSetupConfig();

  // The application-data working folder (SysUtil::GetAppDataWorkFolder).
  std::wstring GetWorkFolder() const;
  // The full setup: <work folder>\Quillnest_SetUp_mini.exe.
  std::wstring GetSetupFilePath() const;
  // The run's diagnostic log: <temp work folder>\QuillnestMini.log.
  std::wstring GetDiagnosticLogPath() const;
  // Where the SD-card pull lands first: <work folder>\Quillnest_SetUp_mini_backup.exe.
  std::wstring GetBackupSetupFilePath() const;

  // True when HKLM "SOFTWARE\Quillnest" holds both a non-empty "Version" and
  // a non-empty "InstallDir". Always overwrites both outputs with what
  // was read (empty when nothing was).
  bool IsSuiteInstalled(std::string& version, std::wstring& installDir) const;

  // Takes the run's switches: its mode, the layout folder, and a source
  // folder that replaces the configured one.
  void ApplyCommandLine(const CommandLine& line);
  // /quiet or /passive: nothing may wait for the user.
  bool IsUnattended() const { return runMode != RunMode::kNormal; }
  // The parameters the full setup is started with in this run's mode.
  const std::wstring& SetupParameters() const;
  // The window's language: /lang, else "Language", else the user's display
  // language (ChooseUiLanguage).
  UiLanguage WindowLanguage() const;

  std::wstring setupBigPackage;  // path of the full setup on the phone
  std::wstring driverPath;       // moduleDir + "Driver", or empty unless a file is there
  std::wstring driverParams;
  std::wstring channel;
  bool overSea;
  bool mediaPlayer;
  bool diagnosticLog;             // unless "DiagnosticLog" reads as 0
  std::wstring setupParams;       // "SetupParams": every start of the full setup
  std::wstring setupQuietParams;  // "SetupQuietParams": instead, in unattended runs
  std::wstring sourceFolder;      // "SetupSource" or /source: a folder /layout filled
  std::wstring layoutFolder;      // /layout: the setup is copied there, not started
  std::wstring languageSetting;   // "Language": zh or en, as written
  std::wstring languageSwitch;    // /lang: zh or en, as given
  RunMode runMode;
  std::wstring bridgeToolPath;  // set by the bridge tool deployment
  std::wstring moduleDir;       // folder of the executable, with its closing backslash
};

// The one settings record, created on first use and never destroyed.
SetupSettings* GetSetupSettings();

}  // namespace rerozadez
