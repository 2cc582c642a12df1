// The program from its entry point to the end of the message loop.
#include <windows.h>
#include <objidl.h>

#include <gdiplus.h>

#include "app/start_up.h"

#include "app/exit_codes.h"
#include "app/main_window.h"
#include "app/single_instance.h"
#include "platform/diagnostic_log.h"
#include "platform/registry_util.h"
#include "platform/system_libraries.h"
#include "platform/system_info.h"
#include "settings/service_address.h"
#include "settings/setup_settings.h"
#include "workflow/verified_start.h"

namespace rerozadezGUI {
namespace {

// Opens this run's log (unless the configuration turned it off) and writes
// what start-up found: the program, the system, the configuration.
void StartDiagnosticLog(const rerozadez::SetupSettings& settings) {
  if (!settings.diagnosticLog ||
      !rerozadez::GetDiagnosticLog()->Open(settings.GetDiagnosticLogPath())) {
    return;
  }
  using rerozadez::LogLine;
  using rerozadez::LogText;
  wchar_t exe[MAX_PATH] = L"";
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  DWORD major = 0;
  DWORD minor = 0;
  rerozadez::GetWindowsVersion(&major, &minor);
  LogLine("QuillnestMini started: %s, Windows %lu.%lu, process %lu", LogText(exe).c_str(), major,
          minor, GetCurrentProcessId());
  const std::wstring config = settings.moduleDir + L"SetupConfig.txt";
  LogLine("configuration %s: %s", LogText(config).c_str(),
          rerozadez::PathExists(config) ? "read" : "absent, defaults used");
  LogLine(
      "settings: Channel \"%s\", Driver \"%s\", DriverParams \"%s\", SetupBigPackage \"%s\", "
      "OverSea %d, MediaPlayer %d",
      LogText(settings.channel).c_str(), LogText(settings.driverPath).c_str(),
      LogText(settings.driverParams).c_str(), LogText(settings.setupBigPackage).c_str(),
      settings.overSea ? 1 : 0, settings.mediaPlayer ? 1 : 0);
  LogLine("package service %s", rerozadez::PackageServiceBaseUrl().c_str());
}

// With the suite installed only the driver installer runs, not awaited. The
// exit code says whether it was started.
int StartDriverOnly(const rerozadez::SetupSettings& settings) {
  if (settings.driverPath.empty() || !rerozadez::PathExists(settings.driverPath)) {
    return kExitSuccess;
  }
  const rerozadez::Status started = rerozadez::StartVerifiedProgram(
      "driver installer", {settings.driverPath, L"", settings.driverParams, false, true}, nullptr,
      nullptr);
  if (started.ok()) {
    return kExitSuccess;
  }
  rerozadez::LogStatus("driver installer", started);
  return ExitCodeForFailure(rerozadez::ClassifyFailure(started));
}

}  // namespace

int RunApplication(HINSTANCE module) {
  rerozadez::RestrictDllSearchToSystemFolder();

  // Kept open for the life of the process: the name stays taken until it ends.
  HANDLE mutex = CreateMutexW(nullptr, FALSE, L"BootStrap_QuillnestMini");
  if (mutex != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
    ActivateRunningInstance();
    CloseHandle(mutex);
    return kExitAnotherCopy;
  }

  rerozadez::SetupSettings* settings = rerozadez::GetSetupSettings();
  settings->LoadSetupConfig();
  StartDiagnosticLog(*settings);

  std::string version;
  std::wstring installDir;
  if (settings->IsSuiteInstalled(version, installDir)) {
    // The suite is there already: only the driver installer is wanted.
    rerozadez::LogLine("installed suite %s in %s: only the driver installer runs", version.c_str(),
                       rerozadez::LogText(installDir).c_str());
    return StartDriverOnly(*settings);
  }

  rerozadez::LogLine("no installed suite: the window opens");
  const rerozadez::Status marked = rerozadez::GetRegistryUtil()->SetCurrentUserStringW(
      L"SOFTWARE\\QuillnestMini", L"installed", L"true");
  if (!marked.ok()) {
    rerozadez::LogStatus("run mark", marked);
  }

  CQuillWndHelper* helper = GetWndHelper();
  Gdiplus::GdiplusStartupInput startupInput;
  Gdiplus::GdiplusStartup(&helper->gdiplusToken, &startupInput, nullptr);

  helper->RegisterWindowClass(module);
  if (!helper->CreateMainWindow(module)) {
    rerozadez::LogLine("window not created, Windows error %lu", GetLastError());
    return kExitFatal;
  }
  if (!helper->CheckMediaPlayer()) {
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

}  // namespace rerozadezGUI
