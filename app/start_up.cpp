// The program from its entry point to the end of the message loop.
#include <windows.h>
#include <objidl.h>

#include <gdiplus.h>

#include "app/start_up.h"

#include "app/main_window.h"
#include "app/single_instance.h"
#include "platform/process_util.h"
#include "platform/registry_util.h"
#include "platform/system_libraries.h"
#include "platform/system_info.h"
#include "settings/setup_settings.h"

namespace rerozadezGUI {

int RunApplication(HINSTANCE module) {
  rerozadez::RestrictDllSearchToSystemFolder();

  // Kept open for the life of the process: the name stays taken until it ends.
  HANDLE mutex = CreateMutexW(nullptr, FALSE, L"BootStrap_QuillnestMini");
  if (mutex != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
    ActivateRunningInstance();
    CloseHandle(mutex);
    return 0;
  }

  rerozadez::SetupSettings* settings = rerozadez::GetSetupSettings();
  settings->LoadSetupConfig();

  std::string version;
  std::wstring installDir;
  if (settings->IsSuiteInstalled(version, installDir) != 0) {
    // The suite is there already: only the driver installer is wanted.
    if (!settings->driverPath.empty() && rerozadez::PathExists(settings->driverPath)) {
      rerozadez::GetProcessUtil()->RunProgram(L"", settings->driverPath, settings->driverParams,
                                              false, true);
    }
    return 0;
  }

  rerozadez::GetRegistryUtil()->SetCurrentUserStringW(L"SOFTWARE\\QuillnestMini", L"installed",
                                                      L"true");

  CQuillWndHelper* helper = GetWndHelper();
  Gdiplus::GdiplusStartupInput startupInput;
  Gdiplus::GdiplusStartup(&helper->gdiplusToken, &startupInput, nullptr);

  helper->RegisterWindowClass(module);
  if (!helper->CreateMainWindow(module)) {
    return 0;
  }
  if (!helper->CheckMediaPlayer()) {
    // overSea without a hint to show: nothing more to do.
    return 0;
  }

  MSG message = {};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  Gdiplus::GdiplusShutdown(helper->gdiplusToken);
  return static_cast<int>(message.wParam);
}

}  // namespace rerozadezGUI
