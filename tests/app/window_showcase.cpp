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

namespace {

// The download screen's line under the status: a resumed download of 48 MB
// going steadily at 2 MB/s for the last three seconds, the bar at 37 %, so
// that the line has its speed and time left from the first paint.
class SteadyDownload {
 public:
  explicit SteadyDownload(DWORD nowMs) : began_(nowMs - 3000) {}
  void Begin() const {
    rerozadez::GetDownloadMeter()->Begin(kResumedFrom, kTotal, began_);
    for (DWORD second = 1; second <= 3; ++second) {
      Record(began_ + second * 1000);
    }
  }
  void Record(DWORD nowMs) const {
    rerozadez::GetDownloadMeter()->Record(kResumedFrom + (nowMs - began_) * 2048ull, nowMs);
  }

 private:
  static constexpr uint64_t kTotal = 48ull << 20;
  static constexpr uint64_t kResumedFrom = kTotal * 37 / 100;
  const DWORD began_;
};

// The notifications and clicks that lead to the state's screen.
void EnterState(CQuillWndHelper* helper, const std::wstring& state,
                const SteadyDownload& download) {
  if (state == L"download") {
    download.Begin();
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
}

// Creates the file QUILL_SHOWCASE_READY names, if it names one.
bool SayReady() {
  wchar_t readyFile[MAX_PATH] = L"";
  if (GetEnvironmentVariableW(L"QUILL_SHOWCASE_READY", readyFile, MAX_PATH) == 0) {
    return true;
  }
  const HANDLE file = CreateFileW(readyFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return false;
  }
  CloseHandle(file);
  return true;
}

// The message loop, until the window closes or 20 seconds have passed.
int RunShowcase(CQuillWndHelper* helper, const std::wstring& state, const SteadyDownload& download,
                DWORD start) {
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
      download.Record(GetTickCount());
    }
    // A round with nothing to dispatch: every paint so far is done, and the
    // wait below hands the window's pixels to the display.
    if (!ready && !handled) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
      if (!SayReady()) {
        return 3;  // the capture would wait in vain
      }
      ready = true;
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
  return 0;
}

}  // namespace

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

  const DWORD start = GetTickCount();
  const SteadyDownload download(start);
  EnterState(helper, state, download);
  return RunShowcase(helper, state, download, start);
}
