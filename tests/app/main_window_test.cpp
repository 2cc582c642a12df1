// The real window, created hidden from the user by Wine's null display
// driver and driven through its messages: notifications, commands, hover,
// layout and the closing sequence.
#include <windows.h>
#include <objidl.h>

#include <commctrl.h>
#include <gdiplus.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "app/skin_layout.h"
#include "app/main_window.h"
#include "resources/resource_ids.h"
#include "platform/pause.h"
#include "app/resource_util.h"
#include "settings/setup_settings.h"
#include "tests/app/gdiplus_session.h"
#include "tests/support/program_driver.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/stand_ins.h"
#include "tests/support/test_files.h"
#include "workflow/worker.h"

namespace {

using namespace rerozadezGUI;

std::vector<DWORD> g_pauses;
void RecordPause(DWORD milliseconds, void*) {
  g_pauses.push_back(milliseconds);
}

// Handles every message already queued for this thread; true when WM_QUIT
// was among them.
bool Pump() {
  bool quit = false;
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      quit = true;
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return quit;
}

std::wstring Text(UINT id) {
  return rerozadez::GetResourceUtil()->LoadStringText(id);
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_pauses.clear();
    rerozadez::SetPauseHook(RecordPause, nullptr);
    ASSERT_TRUE(gdiplus_.Started());
    helper_ = GetWndHelper();
    HINSTANCE module = GetModuleHandleW(nullptr);
    helper_->RegisterWindowClass(module);
    helper_->CreateMainWindow(module);
    // The helper outlives each case: a handle left by an earlier one is not
    // a window any more.
    ASSERT_TRUE(IsWindow(helper_->mainWindow));
    Pump();
    g_pauses.clear();
  }
  void TearDown() override {
    if (IsWindow(helper_->mainWindow)) {
      DestroyWindow(helper_->mainWindow);
    }
    Pump();
    rerozadez::SetPauseHook(nullptr, nullptr);
  }

  static bool Visible(HWND control) {
    return (GetWindowLongPtrW(control, GWL_STYLE) & WS_VISIBLE) != 0;
  }
  int Position() const {
    return static_cast<int>(SendMessageW(helper_->progressBar, PBM_GETPOS, 0, 0));
  }
  void Command(int id) {
    SendMessageW(helper_->mainWindow, WM_COMMAND, static_cast<WPARAM>(id), 0);
  }
  RECT PlaceOf(HWND control) const {
    RECT rect = {};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, helper_->mainWindow, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
  }

  quilltest::GdiplusSession gdiplus_;
  CQuillWndHelper* helper_ = nullptr;
};

TEST_F(MainWindowTest, WindowIsFramelessAndSizedByItsBackground) {
  RECT window = {};
  GetWindowRect(helper_->mainWindow, &window);
  EXPECT_EQ(482, window.right - window.left);
  EXPECT_EQ(273, window.bottom - window.top);
  EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - 482) / 2, window.left);
  EXPECT_EQ((GetSystemMetrics(SM_CYSCREEN) - 273) / 2 - 20, window.top);
  RECT client = {};
  GetClientRect(helper_->mainWindow, &client);
  EXPECT_EQ(482, client.right);
  EXPECT_EQ(273, client.bottom);
  EXPECT_EQ(0, GetWindowLongPtrW(helper_->mainWindow, GWL_STYLE) &
                   (WS_CAPTION | WS_THICKFRAME | WS_SYSMENU));
  EXPECT_EQ(WS_EX_LAYERED, GetWindowLongPtrW(helper_->mainWindow, GWL_EXSTYLE));
  EXPECT_EQ(Text(IDS_WINDOW_TITLE), helper_->texts.title);
  // Dragging works from anywhere outside the buttons.
  EXPECT_EQ(HTCAPTION, SendMessageW(helper_->mainWindow, WM_NCHITTEST, 0,
                                    MAKELPARAM(window.left + 100, window.top + 150)));
}

TEST_F(MainWindowTest, ControlsStartInTheirPlacesWithOnlyInstallDriverOffered) {
  struct Expected {
    HWND control;
    int id;
    bool visible;
  };
  const Expected controls[] = {
      {helper_->Button(kMinimizeButtonId), kMinimizeButtonId, true},
      {helper_->Button(kCloseButtonId), kCloseButtonId, true},
      {helper_->Button(kRetryButtonId), kRetryButtonId, false},
      {helper_->Button(kInstallDriverButtonId), kInstallDriverButtonId, true},
      {helper_->Button(kCancelButtonId), kCancelButtonId, false},
      {helper_->Button(kOpenPageButtonId), kOpenPageButtonId, false},
      {helper_->Button(kBackButtonId), kBackButtonId, false},
      {helper_->Button(kDetailsButtonId), kDetailsButtonId, false},
  };
  for (const Expected& expected : controls) {
    ASSERT_NE(nullptr, expected.control);
    EXPECT_EQ(expected.id, GetDlgCtrlID(expected.control));
    EXPECT_EQ(expected.visible, Visible(expected.control)) << expected.id;
    RECT place = {};
    ASSERT_TRUE(ButtonPlace(expected.id, 482, 273, &place));
    const RECT actual = PlaceOf(expected.control);
    EXPECT_EQ(place.left, actual.left) << expected.id;
    EXPECT_EQ(place.top, actual.top) << expected.id;
    EXPECT_EQ(place.right, actual.right) << expected.id;
    EXPECT_EQ(place.bottom, actual.bottom) << expected.id;
  }
  EXPECT_FALSE(Visible(helper_->progressBar));
  const RECT bar = PlaceOf(helper_->progressBar);
  EXPECT_EQ(0, bar.left);
  EXPECT_EQ(218, bar.top);
  EXPECT_EQ(481, bar.right);
  EXPECT_EQ(227, bar.bottom);
  EXPECT_EQ(ScreenMain, helper_->screenState);
  // The worker reports to this window.
  EXPECT_EQ(&HandleSetupNotify, rerozadez::GetReroZadezHelper()->notify);
  EXPECT_EQ(helper_, rerozadez::GetReroZadezHelper()->notifyContext);
}

TEST_F(MainWindowTest, DownloadShowsTheBarWhichFollowsProgressWithinRange) {
  helper_->OnSetupNotify(rerozadez::NotifyDownloadStarted, 0);
  EXPECT_TRUE(Visible(helper_->progressBar));
  EXPECT_EQ(0, Position());
  EXPECT_EQ(Text(IDS_STATUS_DOWNLOADING), helper_->texts.status);
  helper_->OnSetupNotify(rerozadez::NotifyProgress, 37);
  EXPECT_EQ(37, Position());
  helper_->OnSetupNotify(rerozadez::NotifyProgress, 250);
  EXPECT_EQ(100, Position());
  helper_->OnSetupNotify(rerozadez::NotifyProgress, -4);
  EXPECT_EQ(0, Position());
}

TEST_F(MainWindowTest, FailedDownloadOffersRetryAndTheRetryRunTakesItAway) {
  helper_->OnSetupNotify(rerozadez::NotifyRunStarted, 0);
  EXPECT_FALSE(Visible(helper_->Button(kInstallDriverButtonId)));
  EXPECT_EQ(Text(IDS_CAPTION_RUN_STARTED), helper_->texts.caption);
  helper_->OnSetupNotify(rerozadez::NotifyDownloadStarted, 0);
  helper_->OnSetupNotify(rerozadez::NotifyProgress, 60);
  helper_->OnSetupNotify(rerozadez::NotifyDownloadFailed, 0);
  EXPECT_EQ(Text(IDS_ERROR_DOWNLOAD_FAILED), helper_->texts.error);
  EXPECT_EQ(L"", helper_->texts.status);
  EXPECT_EQ(L"", helper_->texts.caption);
  EXPECT_TRUE(Visible(helper_->Button(kRetryButtonId)));

  helper_->OnSetupNotify(rerozadez::NotifyDownloadRestarted, 0);
  EXPECT_FALSE(Visible(helper_->Button(kRetryButtonId)));
  EXPECT_EQ(L"", helper_->texts.error);
  EXPECT_EQ(0, Position());
  EXPECT_EQ(Text(IDS_STATUS_DOWNLOADING), helper_->texts.status);
}

TEST_F(MainWindowTest, RunStartOnTheHintScreenReturnsToTheMainScreen) {
  Command(kDetailsButtonId);
  ASSERT_EQ(ScreenMediaDetails, helper_->screenState);
  helper_->OnSetupNotify(rerozadez::NotifyRunStarted, 0);
  EXPECT_EQ(ScreenMain, helper_->screenState);
  for (HWND button : {helper_->Button(kDetailsButtonId), helper_->Button(kOpenPageButtonId),
                      helper_->Button(kBackButtonId), helper_->Button(kInstallDriverButtonId),
                      helper_->Button(kCancelButtonId)}) {
    EXPECT_FALSE(Visible(button));
  }
}

// The part of the window waiting to be repainted after action.
template <typename Action>
RECT RepaintedBy(HWND window, Action action) {
  ValidateRect(window, nullptr);
  action();
  RECT update = {};
  GetUpdateRect(window, &update, FALSE);
  return update;
}

TEST_F(MainWindowTest, TextChangesRepaintOnlyTheirOwnBand) {
  HWND window = helper_->mainWindow;
  RECT update = RepaintedBy(window, [&] { helper_->SetStatusText(L"status"); });
  EXPECT_EQ(0, update.left);
  EXPECT_EQ(170, update.top);
  EXPECT_EQ(482, update.right);
  EXPECT_EQ(273, update.bottom);
  update = RepaintedBy(window, [&] { helper_->SetCaptionText(L"caption"); });
  EXPECT_EQ(144, update.left);
  EXPECT_EQ(143, update.top);
  EXPECT_EQ(482, update.right);
  EXPECT_EQ(173, update.bottom);
  update = RepaintedBy(window, [&] { helper_->InvalidateBody(); });
  EXPECT_EQ(100, update.top);
  EXPECT_EQ(273, update.bottom);
  // A progress step repaints nothing of the window's own texts.
  update = RepaintedBy(window, [&] { helper_->OnSetupNotify(rerozadez::NotifyProgress, 5); });
  EXPECT_TRUE(IsRectEmpty(&update));
}

TEST_F(MainWindowTest, UnknownOrContextlessNotificationsChangeNothing) {
  helper_->texts.status = L"unchanged";
  helper_->OnSetupNotify(12, 0);
  helper_->OnSetupNotify(-1, 0);
  HandleSetupNotify(rerozadez::NotifyDownloadFailed, 0, nullptr);
  EXPECT_FALSE(Pump());
  EXPECT_EQ(L"unchanged", helper_->texts.status);
  EXPECT_FALSE(Visible(helper_->Button(kRetryButtonId)));
  EXPECT_TRUE(IsWindow(helper_->mainWindow));
}

TEST_F(MainWindowTest, NotificationsFromTheWorkerThreadArriveInOrderOnTheWindowThread) {
  std::thread worker([this] {
    HandleSetupNotify(rerozadez::NotifyDownloadStarted, 0, helper_);
    for (int percent = 0; percent <= 40; ++percent) {
      HandleSetupNotify(rerozadez::NotifyProgress, percent, helper_);
    }
    HandleSetupNotify(rerozadez::NotifyDownloadFailed, 0, helper_);
  });
  worker.join();
  // Nothing touched the window's texts on the worker thread.
  EXPECT_EQ(L"", helper_->texts.error);
  EXPECT_FALSE(Visible(helper_->progressBar));
  Pump();
  EXPECT_EQ(40, Position());
  EXPECT_EQ(L"", helper_->texts.status);  // the failure came last
  EXPECT_EQ(Text(IDS_ERROR_DOWNLOAD_FAILED), helper_->texts.error);
  EXPECT_TRUE(Visible(helper_->Button(kRetryButtonId)));
}

TEST_F(MainWindowTest, RepeatedProgressIsPostedOnceUntilAnotherNotificationComes) {
  Pump();
  // A download reports after every block, mostly with an unchanged percent.
  for (int percent : {5, 5, 5, 6, 6}) {
    HandleSetupNotify(rerozadez::NotifyProgress, percent, helper_);
  }
  HandleSetupNotify(rerozadez::NotifyChecksumMismatch, 0, helper_);
  HandleSetupNotify(rerozadez::NotifyProgress, 6, helper_);  // a new transfer
  std::vector<std::pair<WPARAM, LPARAM>> posted;
  MSG message;
  while (PeekMessageW(&message, helper_->mainWindow, kSetupNotifyMessage, kSetupNotifyMessage,
                      PM_REMOVE)) {
    posted.push_back({message.wParam, message.lParam});
  }
  const std::vector<std::pair<WPARAM, LPARAM>> expected = {{rerozadez::NotifyProgress, 5},
                                                           {rerozadez::NotifyProgress, 6},
                                                           {rerozadez::NotifyChecksumMismatch, 0},
                                                           {rerozadez::NotifyProgress, 6}};
  EXPECT_EQ(expected, posted);
}

TEST_F(MainWindowTest, EndOfRunClosesThroughTheCancelCommand) {
  rerozadez::GetReroZadezHelper()->stopRequested = 0;
  HandleSetupNotify(rerozadez::NotifySetupLaunched, 0, helper_);
  EXPECT_TRUE(IsWindow(helper_->mainWindow));  // handed over, not handled yet
  EXPECT_TRUE(Pump());                         // WM_QUIT after the window was destroyed
  EXPECT_FALSE(IsWindow(helper_->mainWindow));
  EXPECT_EQ(1, rerozadez::GetReroZadezHelper()->stopRequested);
  EXPECT_FALSE(g_pauses.empty());  // a pause, then the close
}

TEST_F(MainWindowTest, RunFinishedClosesTheWindowToo) {
  rerozadez::GetReroZadezHelper()->stopRequested = 0;
  helper_->OnSetupNotify(rerozadez::NotifyRunFinished, 0);
  EXPECT_TRUE(Pump());
  EXPECT_FALSE(IsWindow(helper_->mainWindow));
  EXPECT_EQ(1, rerozadez::GetReroZadezHelper()->stopRequested);
}

TEST_F(MainWindowTest, SystemCloseRunsTheClosingSequence) {
  // The bridge tool the run started, in a working folder of this case's own.
  quilltest::ScratchDir temp;
  quilltest::ScopedEnvironment environment;
  environment.RedirectWorkFolders(temp.Path(), temp.Path());
  ASSERT_TRUE(CreateDirectoryW(temp.File(L"Travik").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(temp.File(L"Travik\\rerozadez").c_str(), nullptr));
  const std::wstring adb = temp.File(L"Travik\\rerozadez\\adb.exe");
  ASSERT_TRUE(quilltest::CopyStandIn(L"sleeper.exe", adb));
  HANDLE process = quilltest::StartProgram(adb, L"");
  ASSERT_NE(process, nullptr);
  rerozadez::GetReroZadezHelper()->stopRequested = 0;
  rerozadez::GetReroZadezHelper()->running = 1;  // a worker that never notices

  SendMessageW(helper_->mainWindow, WM_CLOSE, 0, 0);

  EXPECT_EQ(1, rerozadez::GetReroZadezHelper()->stopRequested);
  EXPECT_EQ(std::vector<DWORD>({100, 100, 100}),
            std::vector<DWORD>(g_pauses.begin(), g_pauses.begin() + 3));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process, quilltest::kDeadlineMs));
  CloseHandle(process);
  EXPECT_FALSE(IsWindow(helper_->mainWindow));
  EXPECT_TRUE(Pump());
  rerozadez::GetReroZadezHelper()->running = 0;
}

TEST_F(MainWindowTest, CloseButtonStopsWaitingAsSoonAsTheWorkerEnds) {
  rerozadez::GetReroZadezHelper()->running = 0;
  Command(kCloseButtonId);
  EXPECT_EQ(1, rerozadez::GetReroZadezHelper()->stopRequested);
  EXPECT_TRUE(std::find(g_pauses.begin(), g_pauses.end(), 100u) == g_pauses.end());
  EXPECT_FALSE(IsWindow(helper_->mainWindow));
}

TEST_F(MainWindowTest, StartCommandsDoNothingWhileARunIsInProgress) {
  rerozadez::CReroZadezHelper* worker = rerozadez::GetReroZadezHelper();
  worker->running = true;
  // Each command would set the other mode.
  worker->retryMode = true;
  Command(kInstallDriverButtonId);
  EXPECT_TRUE(worker->retryMode);
  worker->retryMode = false;
  Command(kRetryButtonId);
  EXPECT_FALSE(worker->retryMode);
  EXPECT_TRUE(g_pauses.empty());
  worker->running = false;
}

TEST_F(MainWindowTest, DetailsAndBackSwitchTheMediaScreens) {
  rerozadez::GetSetupSettings()->overSea = 0;
  Command(kDetailsButtonId);
  EXPECT_EQ(ScreenMediaDetails, helper_->screenState);
  EXPECT_TRUE(Visible(helper_->Button(kOpenPageButtonId)));
  EXPECT_TRUE(Visible(helper_->Button(kBackButtonId)));
  EXPECT_FALSE(Visible(helper_->Button(kDetailsButtonId)));
  EXPECT_FALSE(Visible(helper_->Button(kInstallDriverButtonId)));

  Command(kBackButtonId);
  EXPECT_EQ(ScreenMediaHint, helper_->screenState);
  EXPECT_TRUE(Visible(helper_->Button(kDetailsButtonId)));
  EXPECT_TRUE(Visible(helper_->Button(kInstallDriverButtonId)));
  EXPECT_FALSE(Visible(helper_->Button(kOpenPageButtonId)));
  EXPECT_FALSE(Visible(helper_->Button(kBackButtonId)));
}

TEST_F(MainWindowTest, BackWithOverSeaKeepsOpenPageAndNeverOffersInstallDriver) {
  rerozadez::GetSetupSettings()->overSea = 1;
  Command(kDetailsButtonId);
  Command(kBackButtonId);
  EXPECT_EQ(ScreenMediaHint, helper_->screenState);
  EXPECT_TRUE(Visible(helper_->Button(kOpenPageButtonId)));
  EXPECT_FALSE(Visible(helper_->Button(kInstallDriverButtonId)));
  rerozadez::GetSetupSettings()->overSea = 0;
}

TEST_F(MainWindowTest, MinimizeAndRestoreKeepTheButtonsInPlace) {
  Command(kMinimizeButtonId);
  EXPECT_TRUE(IsIconic(helper_->mainWindow));
  ShowWindow(helper_->mainWindow, SW_RESTORE);
  Pump();
  const RECT close = PlaceOf(helper_->Button(kCloseButtonId));
  EXPECT_EQ(458, close.left);
  EXPECT_EQ(10, close.top);
  const RECT install = PlaceOf(helper_->Button(kInstallDriverButtonId));
  EXPECT_EQ(263, install.left);
  EXPECT_EQ(232, install.top);
}

TEST_F(MainWindowTest, HoverFollowsTheMouseAndTheLeftButton) {
  HWND button = helper_->Button(kInstallDriverButtonId);
  SendMessageW(button, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
  EXPECT_EQ(kInstallDriverButtonId, helper_->hoverButtonId);
  EXPECT_EQ(button, GetCapture());
  SendMessageW(button, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10, 10));
  EXPECT_EQ(0, helper_->hoverButtonId);
  SendMessageW(button, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
  EXPECT_EQ(kInstallDriverButtonId, helper_->hoverButtonId);
  // Leaving to the left reads as a large unsigned x: outside.
  SendMessageW(button, WM_MOUSEMOVE, 0, MAKELPARAM(-5, 10));
  EXPECT_EQ(0, helper_->hoverButtonId);
  EXPECT_NE(button, GetCapture());
  SendMessageW(button, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
  SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  EXPECT_EQ(0, helper_->hoverButtonId);
  SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(200, 200));
}

std::wstring WindowText(HWND window) {
  wchar_t text[64] = L"";
  GetWindowTextW(window, text, 64);
  return text;
}

// A screen reader speaks a control's window text; the painting never shows it.
TEST_F(MainWindowTest, ButtonsAreNamedTabStopsAndTheStatusBandReadsItsText) {
  const struct {
    int id;
    const wchar_t* name;
  } names[] = {{kMinimizeButtonId, L"\u6700\u5c0f\u5316"},  // 最小化
               {kCloseButtonId, L"\u5173\u95ed"},           // 关闭
               {kRetryButtonId, L"\u91cd\u8bd5"},           // 重试
               {kInstallDriverButtonId, L"\u5b89\u88c5\u9a71\u52a8"},
               {kCancelButtonId, L"\u53d6\u6d88"},                // 取消
               {kOpenPageButtonId, L"\u6253\u5f00\u7f51\u5740"},  // 打开网址
               {kBackButtonId, L"\u8fd4\u56de"},                  // 返回
               {kDetailsButtonId, L"\u8be6\u60c5"}};              // 详情
  for (const auto& expected : names) {
    HWND button = helper_->Button(expected.id);
    EXPECT_EQ(expected.name, WindowText(button)) << expected.id;
    EXPECT_NE(0, GetWindowLongPtrW(button, GWL_STYLE) & WS_TABSTOP) << expected.id;
  }
  EXPECT_EQ(Text(IDS_PROGRESS_NAME), WindowText(helper_->progressBar));

  HWND status = GetDlgItem(helper_->mainWindow, kStatusLineId);
  ASSERT_NE(nullptr, status);
  EXPECT_TRUE(Visible(status));
  helper_->OnSetupNotify(rerozadez::NotifyDownloadStarted, 0);
  EXPECT_EQ(Text(IDS_STATUS_DOWNLOADING).substr(6), WindowText(status));  // without the blanks
  // A failure: the error line and its cause, one name.
  helper_->OnSetupNotify(rerozadez::NotifyDownloadFailed,
                         static_cast<int>(rerozadez::FailureKind::kNoConnection));
  EXPECT_EQ(
      Text(IDS_ERROR_DOWNLOAD_FAILED).substr(6) + L" " + Text(IDS_FAILURE_NO_CONNECTION).substr(6),
      WindowText(status));
}

// Tab walks the shown buttons in tab order; Enter (DM_GETDEFID) names each
// screen's default, which takes the focus when its screen hides the focused
// button.
TEST_F(MainWindowTest, TabOrderDefaultButtonAndFocusFollowTheScreens) {
  HWND window = helper_->mainWindow;
  auto defaultId = [&] { return static_cast<int>(SendMessageW(window, DM_GETDEFID, 0, 0)); };
  SetFocus(window);
  EXPECT_EQ(helper_->Button(kInstallDriverButtonId), GetFocus());
  EXPECT_EQ(MAKELONG(kInstallDriverButtonId, DC_HASDEFID), defaultId());
  HWND next = GetNextDlgTabItem(window, helper_->Button(kInstallDriverButtonId), FALSE);
  EXPECT_EQ(helper_->Button(kMinimizeButtonId), next);
  next = GetNextDlgTabItem(window, next, FALSE);
  EXPECT_EQ(helper_->Button(kCloseButtonId), next);
  EXPECT_EQ(helper_->Button(kInstallDriverButtonId), GetNextDlgTabItem(window, next, FALSE));

  helper_->OnSetupNotify(rerozadez::NotifyRunStarted, 0);
  EXPECT_EQ(0, defaultId());
  EXPECT_EQ(window, GetFocus());
  helper_->OnSetupNotify(rerozadez::NotifyDownloadFailed, 0);
  EXPECT_EQ(MAKELONG(kRetryButtonId, DC_HASDEFID), defaultId());
  EXPECT_EQ(helper_->Button(kRetryButtonId), GetFocus());
}

TEST_F(MainWindowTest, EscapeRunsTheClosingSequence) {
  rerozadez::GetReroZadezHelper()->stopRequested = 0;
  Command(IDCANCEL);
  EXPECT_EQ(1, rerozadez::GetReroZadezHelper()->stopRequested);
  EXPECT_FALSE(IsWindow(helper_->mainWindow));
}

TEST_F(MainWindowTest, MediaCheckOnANewerWindowsKeepsTheMainScreen) {
  rerozadez::SetupSettings* settings = rerozadez::GetSetupSettings();
  settings->mediaPlayer = 1;
  settings->overSea = 0;
  EXPECT_TRUE(helper_->CheckMediaPlayer());
  EXPECT_EQ(ScreenMain, helper_->screenState);
  EXPECT_FALSE(Visible(helper_->Button(kDetailsButtonId)));
  settings->overSea = 1;
  EXPECT_FALSE(helper_->CheckMediaPlayer());
  settings->mediaPlayer = 0;
  EXPECT_FALSE(helper_->CheckMediaPlayer());
  settings->overSea = 0;
  EXPECT_TRUE(helper_->CheckMediaPlayer());
}

}  // namespace
