// Shows the real window in one of its states so that a capture of the screen
// can be checked: main, download, failed, hover, hint, details. It runs the
// start-up's window steps itself (no single-instance rule, no registry), then
// the message loop until the window closes or 20 seconds have passed.
#include <windows.h>
#include <objidl.h>

#include <gdiplus.h>

#include <string>

#include "app/skin_layout.h"
#include "app/main_window.h"
#include "app/resource_util.h"
#include "settings/setup_settings.h"
#include "workflow/worker.h"

using namespace rerozadezGUI;

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
  const std::wstring state = commandLine != nullptr ? commandLine : L"";
  // The captures are checked against the Chinese screens, whatever the
  // machine's display language.
  rerozadez::GetResourceUtil()->SetLanguage(rerozadez::UiLanguage::kChinese);
  rerozadez::SetupSettings* settings = rerozadez::GetSetupSettings();
  settings->mediaPlayer = (state == L"hint" || state == L"details") ? 1 : 0;

  CQuillWndHelper* helper = GetWndHelper();
  Gdiplus::GdiplusStartupInput input;
  Gdiplus::GdiplusStartup(&helper->gdiplusToken, &input, nullptr);
  helper->RegisterWindowClass(instance);
  helper->CreateMainWindow(instance);
  // The hint screens come from the real check: the test runs this program
  // as Windows XP with an old player in place.
  helper->CheckMediaPlayer();

  if (state == L"download" || state == L"failed") {
    helper->OnSetupNotify(rerozadez::NotifyRunStarted, 0);
    helper->OnSetupNotify(rerozadez::NotifyFetchStage, 0);
    helper->OnSetupNotify(rerozadez::NotifyDownloadStarted, 0);
    helper->OnSetupNotify(rerozadez::NotifyProgress, 37);
    if (state == L"failed") {
      // The longest of the failure lines.
      helper->OnSetupNotify(rerozadez::NotifyDownloadFailed,
                            static_cast<int>(rerozadez::FailureKind::kFileInUse));
    }
  } else if (state == L"details") {
    SendMessageW(helper->mainWindow, WM_COMMAND, kDetailsButtonId, 0);
  }

  const DWORD start = GetTickCount();
  MSG message;
  bool hovered = false;
  while (GetTickCount() - start < 20000) {
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        return 0;
      }
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    if (state == L"hover" && !hovered && GetTickCount() - start > 300) {
      // The pointer rests over Install-driver.
      SendMessageW(helper->Button(kInstallDriverButtonId), WM_MOUSEMOVE, 0, MAKELPARAM(20, 10));
      hovered = true;
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
  return 0;
}
