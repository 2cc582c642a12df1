// Shows the real window in one of its states so that a capture of the screen
// can be checked: main, download, failed, hover, hint, details, then "zh"
// (the default) or "en" for the language. It runs the start-up's window
// steps itself (no single-instance rule, no registry), then the message loop
// until the window closes or 20 seconds have passed. Once the state's steps
// are done and painted it creates the file QUILL_SHOWCASE_READY names, so a
// capture need not guess how long that takes.
#include <windows.h>
#include <objidl.h>

#include <gdiplus.h>

#include <string>

#include "app/skin_layout.h"
#include "app/main_window.h"
#include "app/resource_util.h"
#include "settings/setup_settings.h"
#include "settings/ui_language.h"
#include "workflow/download_meter.h"
#include "workflow/worker.h"

using namespace rerozadezGUI;

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
  const std::wstring arguments = commandLine != nullptr ? commandLine : L"";
  const size_t blank = arguments.find(L' ');
  const std::wstring state = arguments.substr(0, blank);
  // The language is the caller's, never the machine's display language.
  rerozadez::UiLanguage language = rerozadez::UiLanguage::kChinese;
  if (blank != std::wstring::npos &&
      !rerozadez::ParseUiLanguage(arguments.substr(blank + 1), &language)) {
    return 2;
  }
  rerozadez::GetResourceUtil()->SetLanguage(language);
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

  // The download screen's line under the status: a resumed download of 48 MB
  // going steadily at 2 MB/s for the last three seconds, the bar at 37 %, so
  // that the line has its speed and time left from the first paint.
  const uint64_t total = 48ull << 20;
  const uint64_t resumedFrom = total * 37 / 100;
  rerozadez::DownloadMeter* meter = rerozadez::GetDownloadMeter();
  const DWORD start = GetTickCount();
  const DWORD began = start - 3000;
  const auto record = [&](DWORD now) { meter->Record(resumedFrom + (now - began) * 2048ull, now); };
  if (state == L"download") {
    meter->Begin(resumedFrom, total, began);
    for (DWORD second = 1; second <= 3; ++second) {
      record(began + second * 1000);
    }
  }
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

  wchar_t readyFile[MAX_PATH] = L"";
  GetEnvironmentVariableW(L"QUILL_SHOWCASE_READY", readyFile, MAX_PATH);
  MSG message;
  bool hovered = false;
  bool ready = false;
  while (GetTickCount() - start < 20000) {
    bool handled = false;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        return 0;
      }
      TranslateMessage(&message);
      DispatchMessageW(&message);
      handled = true;
    }
    if (state == L"hover" && !hovered) {
      // The pointer rests over Install-driver, once the window is painted.
      SendMessageW(helper->Button(kInstallDriverButtonId), WM_MOUSEMOVE, 0, MAKELPARAM(20, 10));
      hovered = true;
      continue;
    }
    if (state == L"download") {
      record(GetTickCount());
    }
    // A round with nothing to dispatch: every paint so far is done, and the
    // wait below hands the window's pixels to the display.
    if (!ready && !handled && readyFile[0] != L'\0') {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
      const HANDLE file =
          CreateFileW(readyFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
      if (file == INVALID_HANDLE_VALUE) {
        return 3;  // the capture would wait in vain
      }
      CloseHandle(file);
      ready = true;
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
  return 0;
}
