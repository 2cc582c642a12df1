// The program from its entry point to the end of the message loop.
#include <windows.h>
#include <objidl.h>

#include <gdiplus.h>

#include "app/start_up.h"

#include "app/exit_codes.h"
#include "app/main_window.h"
#include "app/resource_util.h"
#include "app/single_instance.h"
#include "app/status_presentation.h"
#include "cab/bridge_deploy.h"
#include "platform/diagnostic_log.h"
#include "platform/folders.h"
#include "platform/registry_util.h"
#include "platform/system_libraries.h"
#include "platform/system_info.h"
#include "settings/command_line.h"
#include "settings/service_address.h"
#include "settings/setup_settings.h"
#include "workflow/verified_start.h"
#include "workflow/worker.h"

namespace rerozadezGUI {
namespace {

// The title of the program's message boxes.
const wchar_t kMessageTitle[] = L"QuillnestMini";

// A command line that starts nothing: the switches' list when asked for,
// else why it was refused (silently with /quiet).
int AnswerCommandLine(const rerozadez::CommandLine& line) {
  const std::wstring help = rerozadez::CommandLineHelpText();
  if (line.error.empty()) {
    MessageBoxW(nullptr, help.c_str(), kMessageTitle, MB_OK | MB_ICONINFORMATION);
    return kExitSuccess;
  }
  if (line.mode != rerozadez::RunMode::kQuiet) {
    const std::wstring text =
        L"Unknown switch, or a path missing or too long after it: " + line.error + L"\n\n" + help;
    MessageBoxW(nullptr, text.c_str(), kMessageTitle, MB_OK | MB_ICONERROR);
  }
  return kExitBadCommandLine;
}

// Opens this run's log: the file /log named (appended, its folder made),
// else the usual one unless the configuration turned it off.
bool OpenDiagnosticLog(const rerozadez::SetupSettings& settings, const std::wstring& logPath) {
  rerozadez::DiagnosticLog* log = rerozadez::GetDiagnosticLog();
  if (logPath.empty()) {
    return settings.diagnosticLog && log->Open(settings.GetDiagnosticLogPath());
  }
  wchar_t full[MAX_PATH] = L"";
  const DWORD length = GetFullPathNameW(logPath.c_str(), MAX_PATH, full, nullptr);
  const std::wstring path = length > 0 && length < MAX_PATH ? full : logPath;
  // Not reported: like any log that cannot be written, it is absent.
  const rerozadez::Status folder = rerozadez::MakeFolderTree(
      rerozadez::FolderOf(path), rerozadez::StatusStep::kLayoutMakeFolder);
  return folder.ok() && log->Append(path);
}

// Writes what start-up found: the program, its switches, the system, the
// configuration.
void StartDiagnosticLog(const rerozadez::SetupSettings& settings, const std::wstring& logPath) {
  if (!OpenDiagnosticLog(settings, logPath)) {
    return;
  }
  using rerozadez::LogLine;
  using rerozadez::LogText;
  wchar_t exe[MAX_PATH] = L"";
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  DWORD major = 0;
  DWORD minor = 0;
  rerozadez::GetWindowsVersion(&major, &minor);
  LogLine("==== QuillnestMini started: %s, Windows %lu.%lu, process %lu", LogText(exe).c_str(),
          major, minor, GetCurrentProcessId());
  LogLine("command line: %s", LogText(GetCommandLineW()).c_str());
  const std::wstring config = settings.moduleDir + L"SetupConfig.txt";
  LogLine("configuration %s: %s", LogText(config).c_str(),
          rerozadez::PathExists(config) ? "read" : "absent, defaults used");
  LogLine(
      "settings: Channel \"%s\", Driver \"%s\", DriverParams \"%s\", SetupBigPackage \"%s\", "
      "OverSea %d, MediaPlayer %d, SetupParams \"%s\", SetupQuietParams \"%s\", source \"%s\", "
      "layout \"%s\"",
      LogText(settings.channel).c_str(), LogText(settings.driverPath).c_str(),
      LogText(settings.driverParams).c_str(), LogText(settings.setupBigPackage).c_str(),
      settings.overSea ? 1 : 0, settings.mediaPlayer ? 1 : 0, LogText(settings.setupParams).c_str(),
      LogText(settings.setupQuietParams).c_str(), LogText(settings.sourceFolder).c_str(),
      LogText(settings.layoutFolder).c_str());
  LogLine("package service %s", rerozadez::PackageServiceBaseUrl().c_str());
  LogLine("language %s: display language 0x%04x, Language \"%s\", /lang \"%s\"",
          LogText(rerozadez::UiLanguageName(settings.WindowLanguage())).c_str(),
          static_cast<unsigned>(GetUserDefaultUILanguage()),
          LogText(settings.languageSetting).c_str(), LogText(settings.languageSwitch).c_str());
}

// With the suite installed only the driver installer runs, not awaited. The
// exit code says whether it was started.
int StartDriverOnly(const rerozadez::SetupSettings& settings) {
  if (settings.driverPath.empty() || !rerozadez::PathExists(settings.driverPath)) {
    return kExitSuccess;
  }
  const rerozadez::Status started = rerozadez::StartVerifiedProgram(
      "driver installer", {settings.driverPath, L"", settings.driverParams, false, true}, nullptr);
  if (started.ok()) {
    return kExitSuccess;
  }
  rerozadez::LogStatus("driver installer", started);
  return ExitCodeForFailure(rerozadez::ClassifyFailure(started));
}

// The bridge tool for the SD card route. A failed deployment has been
// logged with its cause; the run goes on without the route, whose tool path
// is then empty.
void DeployBridgeToolsForRun(HINSTANCE module) {
  if (!rerozadez::DeployBridgeTools(module).ok()) {
    rerozadez::LogLine("the SD card route is off for this run: no checked bridge tool");
  }
}

// How far a run without a window got, as the window would have shown it.
struct QuietEnding {
  RunEnding ending = RunEnding::kNotStarted;
  rerozadez::FailureKind failure = rerozadez::FailureKind::kNone;
};

void RecordQuietNotify(int type, int value, void* context) {
  const NotifyReaction reaction = ReactionToNotify(type, value);
  if (reaction.endingChanges) {
    static_cast<QuietEnding*>(context)->ending = reaction.ending;
    static_cast<QuietEnding*>(context)->failure = reaction.failure;
  }
}

// /quiet: the whole run on this thread, no window, nothing asked.
int RunWithoutWindow(HINSTANCE module) {
  DeployBridgeToolsForRun(module);
  QuietEnding ended;
  rerozadez::CReroZadezHelper* worker = rerozadez::GetReroZadezHelper();
  worker->notify = RecordQuietNotify;
  worker->notifyContext = &ended;
  worker->retryMode = false;
  worker->stopRequested = false;
  worker->Run();
  rerozadez::EndCarriedBridgeTool();
  const int code =
      ExitCodeFor(ended.ending, ended.failure, static_cast<int>(worker->setupExitCode.load()));
  rerozadez::LogLine("quiet run ended: the program ends with %d", code);
  return code;
}

// The window and its message loop; a passive run starts at once.
int RunWithWindow(HINSTANCE module, const rerozadez::SetupSettings& settings) {
  CQuillWndHelper* helper = GetWndHelper();
  Gdiplus::GdiplusStartupInput startupInput;
  Gdiplus::GdiplusStartup(&helper->gdiplusToken, &startupInput, nullptr);

  // Before the window shows: once it does, a click may start the run.
  DeployBridgeToolsForRun(module);
  helper->RegisterWindowClass(module);
  if (!helper->CreateMainWindow(module)) {
    rerozadez::LogLine("window not created, Windows error %lu", GetLastError());
    return kExitFatal;
  }
  if (settings.IsUnattended()) {
    // No hint screen: it would wait for a click.
    PostMessageW(helper->mainWindow, WM_COMMAND, kInstallDriverButtonId, 0);
  } else if (!helper->CheckMediaPlayer()) {
    // overSea without a hint to show: nothing more to do.
    rerozadez::LogLine("overseas build with no media player hint to show: the program ends");
    return kExitSuccess;
  }
  rerozadez::LogLine("window shown");

  MSG message = {};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (!helper->TranslateDialogKey(&message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  Gdiplus::GdiplusShutdown(helper->gdiplusToken);
  rerozadez::LogLine("window closed: the program ends with %d", static_cast<int>(message.wParam));
  return static_cast<int>(message.wParam);
}

}  // namespace

int RunApplication(HINSTANCE module) {
  rerozadez::RestrictDllSearchToSystemFolder();
  const rerozadez::CommandLine line = rerozadez::ReadProgramCommandLine();
  if (!line.error.empty() || line.help) {
    return AnswerCommandLine(line);
  }

  // Kept open for the life of the process: the name stays taken until it ends.
  HANDLE mutex = CreateMutexW(nullptr, FALSE, L"BootStrap_QuillnestMini");
  if (mutex != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
    // An unattended copy shows nothing, not even the other copy's window.
    if (line.mode == rerozadez::RunMode::kNormal && line.layoutFolder.empty()) {
      ActivateRunningInstance();
    }
    CloseHandle(mutex);
    return kExitAnotherCopy;
  }

  rerozadez::SetupSettings* settings = rerozadez::GetSetupSettings();
  settings->LoadSetupConfig();
  settings->ApplyCommandLine(line);
  rerozadez::GetResourceUtil()->SetLanguage(settings->WindowLanguage());
  StartDiagnosticLog(*settings, line.logPath);

  std::string version;
  std::wstring installDir;
  if (settings->layoutFolder.empty() && settings->IsSuiteInstalled(version, installDir)) {
    // The suite is there already: only the driver installer is wanted.
    rerozadez::LogLine("installed suite %s in %s: only the driver installer runs", version.c_str(),
                       rerozadez::LogText(installDir).c_str());
    return StartDriverOnly(*settings);
  }
  if (settings->IsUnattended() && settings->overSea) {
    // An overseas build only ever shows the media player hint.
    rerozadez::LogLine("overseas build run unattended: nothing to do, the program ends");
    return kExitSuccess;
  }

  rerozadez::LogLine(settings->runMode == rerozadez::RunMode::kQuiet
                         ? "no installed suite: the run starts without a window"
                         : "no installed suite: the window opens");
  const rerozadez::Status marked = rerozadez::GetRegistryUtil()->SetCurrentUserStringW(
      L"SOFTWARE\\QuillnestMini", L"installed", L"true");
  if (!marked.ok()) {
    rerozadez::LogStatus("run mark", marked);
  }
  return settings->runMode == rerozadez::RunMode::kQuiet ? RunWithoutWindow(module)
                                                         : RunWithWindow(module, *settings);
}

}  // namespace rerozadezGUI
