// The main window: class, creation, messages, commands, the reaction to the
// worker's notifications and the closing sequence.
#include <windows.h>
#include <objidl.h>

#include <commctrl.h>
#include <gdiplus.h>
#include <process.h>
#include <shellapi.h>

#include <atomic>

#include "app/main_window.h"

#include "app/media_player_check.h"
#include "app/resource_util.h"
#include "app/skin_layout.h"
#include "app/status_presentation.h"
#include "cab/bridge_deploy.h"
#include "net/proxy_credentials.h"
#include "net/resumable_download.h"
#include "platform/diagnostic_log.h"
#include "platform/pause.h"
#include "platform/process_instance.h"
#include "platform/system_info.h"
#include "platform/system_libraries.h"
#include "resources/resource_ids.h"
#include "settings/setup_settings.h"
#include "settings/sys_util.h"
#include "workflow/download_meter.h"
#include "workflow/worker.h"

namespace rerozadezGUI {
namespace {

// The last percentage handed to the window: a download reports after every
// block, and repeating an unchanged position would only fill the queue.
std::atomic<int> g_lastPostedProgress(-1);

void SetVisible(HWND control, Change change) {
  if (control != nullptr && change != Change::kLeave) {
    ShowWindow(control, change == Change::kShow ? SW_SHOW : SW_HIDE);
  }
}

void SetVisible(HWND control, bool visible) {
  SetVisible(control, visible ? Change::kShow : Change::kHide);
}

std::wstring WithoutLeadingBlanks(const std::wstring& text) {
  const size_t first = text.find_first_not_of(L' ');
  return first == std::wstring::npos ? std::wstring() : text.substr(first);
}

// Two lines as one name for a screen reader.
std::wstring JoinLines(const std::wstring& first, const std::wstring& second) {
  const std::wstring a = WithoutLeadingBlanks(first);
  const std::wstring b = WithoutLeadingBlanks(second);
  return a.empty() || b.empty() ? a + b : a + L" " + b;
}

void InvalidateArea(HWND window, RECT (*area)(int, int, int), int dpi) {
  if (window == nullptr) {
    return;
  }
  RECT client = {};
  GetClientRect(window, &client);
  RECT rect = area(client.right - client.left, client.bottom - client.top, dpi);
  InvalidateRect(window, &rect, TRUE);
}

// With common controls 6 a themed progress bar draws the theme's colours and
// ignores the ones it is given. Turning the theme off for the bar alone keeps
// the skin's green on grey. uxtheme.dll is looked up at run time: Windows
// without visual styles have no such library, and nothing is lost there.
void DropVisualStyle(HWND control) {
  HMODULE uxtheme = rerozadez::LoadSystemLibrary(L"uxtheme.dll");
  if (uxtheme == nullptr) {
    return;
  }
  typedef HRESULT(WINAPI * SetWindowThemeFunction)(HWND, LPCWSTR, LPCWSTR);
  SetWindowThemeFunction setWindowTheme = reinterpret_cast<SetWindowThemeFunction>(
      reinterpret_cast<void*>(GetProcAddress(uxtheme, "SetWindowTheme")));
  if (setWindowTheme != nullptr) {
    // A blank (not empty) name matches no theme class on every system.
    setWindowTheme(control, L" ", L" ");
  }
  // The library stays loaded: the control keeps using it.
}

// Creates one button from its table entry with its faces: one decoded
// bitmap per button, even where two buttons share a picture.
void CreateButton(HWND parent, HINSTANCE module, const ButtonEntry& entry, ButtonSlot* slot) {
  // Tab stops, so the keyboard reaches every button the screen shows.
  const DWORD style =
      WS_CHILD | WS_TABSTOP | BS_OWNERDRAW | (entry.initiallyVisible ? WS_VISIBLE : 0);
  // The window text is what a screen reader speaks; the painting draws the
  // label from the table and never this text.
  const std::wstring name = rerozadez::LoadTextOrEmpty(entry.name);
  slot->window =
      CreateWindowExW(0, L"BUTTON", name.c_str(), style, 0, 0, 0, 0, parent,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(entry.id)), module, nullptr);
  if (entry.iconFace) {
    slot->icon = static_cast<HICON>(
        LoadImageW(module, MAKEINTRESOURCEW(entry.face), IMAGE_ICON, 14, 14, LR_DEFAULTCOLOR));
    slot->pressedIcon = static_cast<HICON>(
        LoadImageW(module, MAKEINTRESOURCEW(entry.hoverFace), IMAGE_ICON, 14, 14, LR_DEFAULTCOLOR));
  } else {
    rerozadez::ResourceUtil* resources = rerozadez::GetResourceUtil();
    slot->face = resources->LoadPngImage(static_cast<UINT>(entry.face), module);
    slot->hoverFace = resources->LoadPngImage(static_cast<UINT>(entry.hoverFace), module);
  }
}

// The download's bar, hidden until a download starts, in the skin's colours.
HWND CreateProgressBar(HWND parent, HINSTANCE module, int dpi) {
  const RECT bar = ProgressBarPlace(dpi);
  // The bar draws no text: its window text is its name for screen readers,
  // which read its position from the control itself.
  HWND progressBar = CreateWindowExW(
      0, L"msctls_progress32", rerozadez::LoadTextOrEmpty(IDS_PROGRESS_NAME).c_str(),
      WS_CHILD | PBS_SMOOTH, bar.left, bar.top, bar.right - bar.left, bar.bottom - bar.top, parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kProgressBarId)), module, nullptr);
  DropVisualStyle(progressBar);
  SendMessageW(progressBar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  SendMessageW(progressBar, PBM_SETBKCOLOR, 0, RGB(226, 226, 226));
  SendMessageW(progressBar, PBM_SETBARCOLOR, 0, RGB(83, 142, 58));
  return progressBar;
}

// Tab and the arrow keys walk the children in their stacking order, which
// starts as the creation order (the control ids): restack the buttons in
// tab order, above the progress bar. No two shown controls overlap, so the
// picture is the same.
void StackInTabOrder(const ButtonSlot* buttons) {
  HWND previous = HWND_TOP;
  for (int id : kTabOrder) {
    HWND button = buttons[FindButton(id) - kButtons].window;
    if (button != nullptr) {
      SetWindowPos(button, previous, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOREDRAW);
      previous = button;
    }
  }
}

// The screen's DPI. The manifest declares the program DPI-aware, so Windows
// reports the real setting (Vista and later would otherwise say 96 and
// stretch the window's picture); XP always reports it.
int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen != nullptr) {
    ReleaseDC(nullptr, screen);
  }
  return dpi > 0 ? dpi : kBaseDpi;
}

}  // namespace

CQuillWndHelper* GetWndHelper() {
  return rerozadez::ProcessInstance<CQuillWndHelper>();
}

void CQuillWndHelper::RegisterWindowClass(HINSTANCE module) {
  texts.title = rerozadez::GetResourceUtil()->LoadStringText(IDS_WINDOW_TITLE);
  // The same class in every language: a second copy finds the first by it,
  // whatever language either shows.
  texts.className = rerozadez::GetResourceUtil()->LoadStringText(IDS_WINDOW_CLASS,
                                                                 rerozadez::UiLanguage::kChinese);
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = module;
  windowClass.hIcon = LoadIconW(module, MAKEINTRESOURCEW(IDI_APP));
  // LoadIcon would pick the large size; the same group holds the small one.
  windowClass.hIconSm = static_cast<HICON>(
      LoadImageW(module, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                 GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
  windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
  windowClass.lpszClassName = texts.className.c_str();
  RegisterClassExW(&windowClass);
}

bool CQuillWndHelper::CreateMainWindow(HINSTANCE module) {
  HWND window = CreateWindowExW(0, texts.className.c_str(), texts.title.c_str(), 0, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                module, nullptr);
  if (window == nullptr) {
    return false;
  }
  SetClassLongPtrW(window, GCL_STYLE, GetClassLongPtrW(window, GCL_STYLE) | CS_DROPSHADOW);
  mainWindow = window;
  dpi = ScreenDpi();
  // A proxy's credentials dialog belongs over the window the user sees.
  rerozadez::GetProxyCredentials()->SetPromptOwner(window);

  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);

  if (rerozadez::GetSysUtil()->IsXpOrEarlier()) {
    texts.xpNote = rerozadez::GetResourceUtil()->LoadStringText(IDS_XP_NEW_HARDWARE_NOTE);
  }

  progressBar = CreateProgressBar(window, module, dpi);
  progressTexts = LoadProgressTexts();

  for (int index = 0; index < kButtonCount; ++index) {
    CreateButton(window, module, kButtons[index], &buttons[index]);
  }
  StackInTabOrder(buttons);
  // The status line as a control of its own over the place where the window
  // draws it, so that screen readers find its text there. Owner-drawn and
  // drawing nothing, it leaves the window's picture as it was; without
  // SS_NOTIFY the mouse goes through it, and at the bottom of the stacking
  // order it never covers a button.
  statusLine = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_OWNERDRAW, 0, 0, 0, 0,
                               window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kStatusLineId)),
                               module, nullptr);
  SetWindowPos(statusLine, HWND_BOTTOM, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOREDRAW);
  backgroundImage =
      rerozadez::GetResourceUtil()->LoadPngImage(static_cast<UINT>(IDP_BACKGROUND), module);

  for (ButtonSlot& slot : buttons) {
    LONG_PTR previous = SetWindowLongPtrW(slot.window, GWLP_WNDPROC,
                                          reinterpret_cast<LONG_PTR>(ButtonSubclassProc));
    if (previous != 0) {
      standardButtonProc = reinterpret_cast<WNDPROC>(previous);
    }
  }

  rerozadez::CReroZadezHelper* worker = rerozadez::GetReroZadezHelper();
  worker->notify = HandleSetupNotify;
  worker->notifyContext = this;

  // No caption, border or system menu: the client area is the whole window.
  // Layered and fully opaque, so the drop shadow follows the skin.
  SetWindowLongPtrW(window, GWL_STYLE, 0);
  SetWindowLongPtrW(window, GWL_EXSTYLE, 0);
  SetWindowLongPtrW(window, GWL_EXSTYLE, GetWindowLongPtrW(window, GWL_EXSTYLE) ^ WS_EX_LAYERED);
  SetLayeredWindowAttributes(window, 0, 255, LWA_ALPHA);

  if (backgroundImage) {
    const int width = Scaled(static_cast<int>(backgroundImage->GetWidth()), dpi);
    const int height = Scaled(static_cast<int>(backgroundImage->GetHeight()), dpi);
    POINT origin =
        WindowOrigin(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), width, height);
    MoveWindow(window, origin.x, origin.y, width, height, TRUE);
  }

  ShowWindow(window, SW_HIDE);
  UpdateWindow(window);
  ShowWindow(window, SW_SHOW);
  return true;
}

bool CQuillWndHelper::CheckMediaPlayer() {
  rerozadez::SetupSettings* settings = rerozadez::GetSetupSettings();
  bool hintNeeded = false;
  if (settings->mediaPlayer) {
    DWORD major = 0;
    DWORD minor = 0;
    wchar_t drive[MAX_PATH] = L"";
    // The hint concerns the XP generation of systems (2000, XP, Server 2003).
    if (rerozadez::GetWindowsVersion(&major, &minor) && major == 5 &&
        GetEnvironmentVariableW(L"SYSTEMDRIVE", drive, MAX_PATH) > 0 && drive[0] != L'\0') {
      ProductVersion player = ReadProductVersion(MediaPlayerPath(drive));
      hintNeeded =
          player.hasVersionInfo && IsMediaHintNeeded(player.text.c_str(), player.text.size());
    }
  }
  const bool overSea = settings->overSea;
  const MediaCheckOutcome outcome = DecideMediaScreen(hintNeeded, overSea);
  if (hintNeeded) {
    screenState = outcome.screenState;
    SetVisible(Button(kDetailsButtonId), outcome.screenState == ScreenMediaHint);
    if (outcome.screenState == ScreenMediaDetails) {
      SetVisible(Button(kOpenPageButtonId), true);
      SetVisible(Button(kInstallDriverButtonId), false);
      SetVisible(Button(kBackButtonId), false);
    }
    // A display driver may have painted the main screen already while the
    // window was shown; the new screen's texts must replace it.
    InvalidateBody();
    FocusDefaultButton();
  }
  return outcome.keepRunning;
}

void CQuillWndHelper::SetStatusText(std::wstring text) {
  texts.status = text;
  InvalidateArea(mainWindow, StatusBand, dpi);
  UpdateStatusLineName();
}

void CQuillWndHelper::UpdateStatusLineName() {
  if (statusLine == nullptr) {
    return;
  }
  // The error line and its cause take the status line's place once a run
  // failed.
  // While downloading, the progress line under the status joins it.
  const std::wstring name =
      JoinLines(texts.status.empty() ? texts.error : texts.status, texts.failure);
  wchar_t current[256] = L"";
  GetWindowTextW(statusLine, current, 256);
  if (name != current) {
    // Windows tells screen readers of the new name (EVENT_OBJECT_NAMECHANGE).
    SetWindowTextW(statusLine, name.c_str());
  }
}

void CQuillWndHelper::SetCaptionText(std::wstring text) {
  texts.caption = text;
  InvalidateArea(mainWindow, CaptionBand, dpi);
}

void CQuillWndHelper::StartProgressLine() {
  SetTimer(mainWindow, kProgressLineTimer, kProgressLineMs, nullptr);
  ShowProgressLine();
}

void CQuillWndHelper::ShowProgressLine() {
  const rerozadez::DownloadFigures figures = rerozadez::GetDownloadMeter()->Read(GetTickCount());
  // The download reports its percentage at most four times a second, so the
  // bytes that came last before a pause may not have reached the bar: each
  // redraw of the line brings the bar up to them.
  if (figures.active && figures.total > 0 && progressBar != nullptr) {
    const int percent =
        rerozadez::DownloadPercent(figures.held, static_cast<int64_t>(figures.total));
    SendMessageW(progressBar, PBM_SETPOS, static_cast<WPARAM>(percent > 100 ? 100 : percent), 0);
  }
  // The line takes the failure's row, which is empty while a run is under way.
  const std::wstring line = FormatProgressLine(figures, progressTexts);
  if (line != texts.failure) {
    texts.failure = line;
    InvalidateArea(mainWindow, StatusBand, dpi);
    UpdateStatusLineName();
  }
}

void CQuillWndHelper::StopProgressLine(bool clear) {
  KillTimer(mainWindow, kProgressLineTimer);
  if (clear && !texts.failure.empty()) {
    texts.failure.clear();
    InvalidateArea(mainWindow, StatusBand, dpi);
    UpdateStatusLineName();
  }
}

void CQuillWndHelper::InvalidateBody() {
  InvalidateArea(mainWindow, BodyArea, dpi);
}

void CQuillWndHelper::OnSetupNotify(int type, int value) {
  const NotifyReaction reaction = ReactionToNotify(type, value);
  if (!reaction.handled) {
    return;
  }
  if (reaction.progressLine == Change::kHide)
    StopProgressLine(reaction.failureText == kLeaveText);
  if (reaction.installDriver == Change::kHide)
    SetVisible(Button(kInstallDriverButtonId), Change::kHide);
  if (reaction.cancel == Change::kHide)
    SetVisible(Button(kCancelButtonId), Change::kHide);
  if (reaction.details == Change::kHide)
    SetVisible(Button(kDetailsButtonId), Change::kHide);
  if (reaction.openPage == Change::kHide)
    SetVisible(Button(kOpenPageButtonId), Change::kHide);
  if (reaction.back == Change::kHide)
    SetVisible(Button(kBackButtonId), Change::kHide);
  if (reaction.retry == Change::kHide)
    SetVisible(Button(kRetryButtonId), Change::kHide);
  if (reaction.toMainScreen) {
    screenState = ScreenMain;
  }
  if (reaction.errorText != kLeaveText) {
    texts.error = rerozadez::LoadTextOrEmpty(reaction.errorText);
  }
  if (reaction.failureText != kLeaveText) {
    texts.failure = rerozadez::LoadTextOrEmpty(reaction.failureText);
  }
  if (reaction.errorText != kLeaveText || reaction.failureText != kLeaveText) {
    UpdateStatusLineName();
  }
  if (reaction.endingChanges) {
    runEnding = reaction.ending;
    failure = reaction.failure;
    // Nobody may be there to close a passive run's failure screen.
    if (runEnding == RunEnding::kFailed &&
        rerozadez::GetSetupSettings()->runMode == rerozadez::RunMode::kPassive) {
      SetTimer(mainWindow, kPassiveCloseTimer, kPassiveFailureShowMs, nullptr);
    }
  }
  if (reaction.showProgress) {
    SetVisible(progressBar, true);
  }
  if (reaction.progressPosition >= 0 && progressBar != nullptr) {
    SendMessageW(progressBar, PBM_SETPOS, static_cast<WPARAM>(reaction.progressPosition), 0);
  }
  if (reaction.statusText != kLeaveText) {
    SetStatusText(rerozadez::LoadTextOrEmpty(reaction.statusText));
  }
  if (reaction.captionText != kLeaveText) {
    SetCaptionText(rerozadez::LoadTextOrEmpty(reaction.captionText));
  }
  if (reaction.retry == Change::kShow)
    SetVisible(Button(kRetryButtonId), Change::kShow);
  if (reaction.progressLine == Change::kShow)
    StartProgressLine();
  FocusDefaultButton();
  if (reaction.closeWindow && mainWindow != nullptr) {
    // The run is over: the window closes through the Cancel command, the
    // same way as when the user closes it.
    rerozadez::Pause(100);
    PostMessageW(mainWindow, WM_COMMAND, kCancelButtonId, kCancelButtonId);
  }
}

void HandleSetupNotify(int type, int value, void* context) {
  if (context == nullptr) {
    return;
  }
  HWND window = static_cast<CQuillWndHelper*>(context)->mainWindow;
  if (window == nullptr) {
    return;
  }
  if (type == rerozadez::NotifyProgress) {
    if (g_lastPostedProgress.exchange(value) == value) {
      return;
    }
  } else {
    g_lastPostedProgress = -1;
  }
  // Posted, not handled here: the window's texts and controls belong to its
  // own thread, and the queue keeps the notifications in order.
  PostMessageW(window, kSetupNotifyMessage, static_cast<WPARAM>(type), static_cast<LPARAM>(value));
}

void CQuillWndHelper::LayoutControls(int cx, int cy) {
  for (int index = 0; index < kButtonCount; ++index) {
    RECT place = {};
    if (buttons[index].window != nullptr && ButtonPlace(kButtons[index].id, cx, cy, &place, dpi)) {
      MoveWindow(buttons[index].window, place.left, place.top, place.right - place.left,
                 place.bottom - place.top, TRUE);
    }
  }
  if (statusLine != nullptr) {
    const RECT place = StatusLinePlace(cx, cy, dpi);
    MoveWindow(statusLine, place.left, place.top, place.right - place.left,
               place.bottom - place.top, FALSE);
  }
}

int CQuillWndHelper::DefaultButtonId() const {
  return DefaultButton([this](int id) {
    HWND button = Button(id);
    return button != nullptr && (GetWindowLongPtrW(button, GWL_STYLE) & WS_VISIBLE) != 0;
  });
}

void CQuillWndHelper::FocusDefaultButton() {
  HWND focus = GetFocus();
  // Only while this window has the focus, on itself or on a button that a
  // screen change hid: never take the focus from another window or from a
  // button the user moved to.
  const bool ours = focus != nullptr && (focus == mainWindow || IsChild(mainWindow, focus));
  if (!ours || (focus != mainWindow && IsWindowVisible(focus))) {
    return;
  }
  HWND button = Button(DefaultButtonId());
  HWND target = button != nullptr ? button : mainWindow;
  if (target != focus) {
    SetFocus(target);
  }
}

bool CQuillWndHelper::TranslateDialogKey(MSG* message) {
  if (mainWindow == nullptr) {
    return false;
  }
  if (message->message == WM_KEYDOWN &&
      (message->hwnd == mainWindow || IsChild(mainWindow, message->hwnd))) {
    switch (message->wParam) {
      case VK_TAB:
      case VK_LEFT:
      case VK_RIGHT:
      case VK_UP:
      case VK_DOWN:
        // Moving the focus by keyboard shows it from now on. Windows'
        // dialog manager says so itself; Wine's keeps no such state.
        SendMessageW(mainWindow, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
        break;
    }
  }
  return IsDialogMessageW(mainWindow, message) != FALSE;
}

int CQuillWndHelper::ExitCode() const {
  return ExitCodeFor(runEnding, failure,
                     static_cast<int>(rerozadez::GetReroZadezHelper()->setupExitCode.load()));
}

void CQuillWndHelper::CloseWindowAndStop() {
  rerozadez::CReroZadezHelper* worker = rerozadez::GetReroZadezHelper();
  worker->stopRequested = true;
  for (int attempt = 0; attempt < 3 && worker->running; ++attempt) {
    rerozadez::Pause(100);
  }
  rerozadez::EndCarriedBridgeTool();
  if (mainWindow != nullptr) {
    DestroyWindow(mainWindow);
  }
}

bool CQuillWndHelper::OnCommand(HWND window, int controlId) {
  rerozadez::CReroZadezHelper* worker = rerozadez::GetReroZadezHelper();
  const bool overSea = rerozadez::GetSetupSettings()->overSea;
  switch (controlId) {
    case kMinimizeButtonId:
      ShowWindow(window, SW_SHOWMINIMIZED);
      return true;
    case kCloseButtonId:
    case kCancelButtonId:
    case IDCANCEL:  // Escape
      CloseWindowAndStop();
      return true;
    case kRetryButtonId:
    case kInstallDriverButtonId: {
      if (worker->running) {
        return true;
      }
      KillTimer(window, kPassiveCloseTimer);
      worker->retryMode = controlId == kRetryButtonId;
      // Cleared here, not by the run: a stop left by an earlier run must
      // not end this one, and a close from now on must.
      worker->stopRequested = false;
      uintptr_t thread =
          _beginthreadex(nullptr, 0, rerozadez::WorkerThreadProc, worker, 0, nullptr);
      if (thread != 0) {
        CloseHandle(reinterpret_cast<HANDLE>(thread));
      }
      // The worker marks itself running first thing; by the end of this
      // pause a second click (a double click's second notification) finds
      // it running and does nothing.
      rerozadez::Pause(500);
      return true;
    }
    case kOpenPageButtonId:
      ShellExecuteW(nullptr, L"open", MediaPlayerDownloadPage().c_str(), nullptr, nullptr,
                    SW_SHOWNORMAL);
      return true;
    case kBackButtonId:
      SetVisible(Button(kDetailsButtonId), true);
      if (!overSea)
        SetVisible(Button(kInstallDriverButtonId), true);
      SetVisible(Button(kCancelButtonId), false);
      if (!overSea)
        SetVisible(Button(kOpenPageButtonId), false);
      SetVisible(Button(kBackButtonId), false);
      screenState = ScreenMediaHint;
      InvalidateBody();
      FocusDefaultButton();
      return true;
    case kDetailsButtonId:
      SetVisible(Button(kDetailsButtonId), false);
      SetVisible(Button(kInstallDriverButtonId), false);
      SetVisible(Button(kCancelButtonId), false);
      SetVisible(Button(kOpenPageButtonId), true);
      SetVisible(Button(kBackButtonId), true);
      screenState = ScreenMediaDetails;
      InvalidateBody();
      FocusDefaultButton();
      return true;
  }
  return false;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CQuillWndHelper* helper = GetWndHelper();
  switch (message) {
    case WM_DESTROY:
      // The message loop's end hands this to the process as its exit code.
      PostQuitMessage(helper->ExitCode());
      return 0;
    case WM_TIMER:
      if (wParam == kPassiveCloseTimer) {
        KillTimer(window, kPassiveCloseTimer);
        helper->CloseWindowAndStop();
      } else if (wParam == kProgressLineTimer) {
        helper->ShowProgressLine();
      }
      return 0;
    case WM_CLOSE:
      // Alt+F4 and the taskbar's Close end the run the same way as the
      // close button: without the stop request a download would go on
      // writing while the process exits, and the bridge tool would be left
      // running.
      helper->CloseWindowAndStop();
      return 0;
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED) {
        helper->LayoutControls(LOWORD(lParam), HIWORD(lParam));
      }
      return 0;
    case WM_ERASEBKGND:
      helper->Paint(reinterpret_cast<HDC>(wParam), window);
      return 1;
    case WM_DRAWITEM: {
      const DRAWITEMSTRUCT* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item != nullptr && FindButton(static_cast<int>(item->CtlID)) != nullptr) {
        helper->DrawButton(item);
      }
      return 1;
    }
    case WM_CHANGEUISTATE:
    case WM_UPDATEUISTATE: {
      const bool cues = FocusCuesAfter(helper->focusCues, wParam);
      if (cues != helper->focusCues) {
        helper->focusCues = cues;
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(window, focus)) {
          InvalidateRect(focus, nullptr, FALSE);
        }
      }
      break;
    }
    case WM_SETFOCUS:
      // Activation gives the focus to the window itself; pass it on to the
      // screen's default button, as a dialog does.
      helper->FocusDefaultButton();
      return 0;
    case DM_GETDEFID: {
      // Asked by IsDialogMessage when Enter is pressed.
      const int id = helper->DefaultButtonId();
      return id != 0 ? MAKELRESULT(id, DC_HASDEFID) : 0;
    }
    case WM_NCHITTEST:
      // Dragging from any point outside the buttons moves the window.
      return HTCAPTION;
    case WM_COMMAND:
      if (helper->OnCommand(window, LOWORD(wParam))) {
        return 0;
      }
      break;
    case kSetupNotifyMessage:
      helper->OnSetupNotify(static_cast<int>(wParam), static_cast<int>(lParam));
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK ButtonSubclassProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
  CQuillWndHelper* helper = GetWndHelper();
  if (message == WM_MOUSEMOVE) {
    const int id = GetDlgCtrlID(button);
    if (id != 0) {
      POINT point = {static_cast<LONG>(LOWORD(lParam)), static_cast<LONG>(HIWORD(lParam))};
      RECT client = {};
      GetClientRect(button, &client);
      if (PtInRect(&client, point)) {
        helper->hoverButtonId = (wParam & MK_LBUTTON) != 0 ? 0 : id;
        if (GetCapture() != button) {
          SetCapture(button);
        }
      } else {
        helper->hoverButtonId = 0;
        if (GetCapture() == button) {
          ReleaseCapture();
        }
      }
      InvalidateRect(button, nullptr, FALSE);
      return 1;
    }
  } else if (message == WM_LBUTTONDOWN) {
    helper->hoverButtonId = 0;
    InvalidateRect(button, nullptr, FALSE);
  }
  return CallWindowProcW(helper->standardButtonProc, button, message, wParam, lParam);
}

}  // namespace rerozadezGUI
