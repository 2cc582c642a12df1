#pragma once

// The main window: its class, creation, messages, commands, the reaction to
// the worker's notifications and the closing sequence. The window's state
// and painting are CQuillWndHelperDrawer's (app/skin_painter.h).

#include <windows.h>

#include <string>

#include "app/exit_codes.h"
#include "app/progress_line.h"
#include "app/skin_painter.h"

namespace rerozadezGUI {

// The window itself; besides its drawer's state it keeps how far the run got,
// which decides the exit code.
class CQuillWndHelper : public CQuillWndHelperDrawer {
 public:
  CQuillWndHelper() {}
  ~CQuillWndHelper() override {}

  // Loads the title and class name, then registers the window class.
  void RegisterWindowClass(HINSTANCE module);

  // Creates the window with its controls, pictures and icons, hooks the
  // worker's notifications, deploys the bridge tool and shows the window.
  // False, with GetLastError's code, when Windows made no window.
  bool CreateMainWindow(HINSTANCE module);

  // Switches to a media-player hint screen when the installed player is too
  // old. False when the program has nothing to show (overSea and no hint).
  bool CheckMediaPlayer();

  // The window's reaction to one notification; types outside 0..11 are
  // ignored. Runs on the user-interface thread.
  void OnSetupNotify(int type, int value);

  // Set a text and repaint the part of the window that shows it.
  void SetStatusText(std::wstring text);
  void SetCaptionText(std::wstring text);
  // Gives the status line control the text the status band shows (the
  // status line, else the error line), without the leading blanks.
  void UpdateStatusLineName();
  // Repaints everything below the title area.
  void InvalidateBody();

  // The button Enter presses on the current screen; 0 when none shows.
  int DefaultButtonId() const;
  // Moves the focus to the default button (or the window, when none shows)
  // when the window holds the focus itself or a hidden button holds it.
  void FocusDefaultButton();

  // The message loop's dialog keys: Tab and Shift+Tab move the focus (and
  // make it visible), Enter presses the default button, Space the focused
  // one, Escape closes. True when the message was handled.
  bool TranslateDialogKey(MSG* message);

  // Commands 1002..1009, and IDCANCEL (Escape) as the close button; false
  // for other ids.
  bool OnCommand(HWND window, int controlId);
  // Places the controls for a client area of cx × cy.
  void LayoutControls(int cx, int cy);
  // Stop request, a bounded wait for the worker, bridge tool processes
  // ended, window destroyed.
  void CloseWindowAndStop();

  // Starts, redraws (from the download meter) and stops the progress line
  // under the status; stopping with clear empties its row.
  void StartProgressLine();
  void ShowProgressLine();
  void StopProgressLine(bool clear);

  // The program's exit code if the window closed now.
  int ExitCode() const;

  ProgressTexts progressTexts;  // the progress line's patterns, loaded with the window
  RunEnding runEnding = RunEnding::kNotStarted;
  rerozadez::FailureKind failure = rerozadez::FailureKind::kNone;
};

// The one window helper, created on first use and never destroyed.
CQuillWndHelper* GetWndHelper();

// The window procedure of the main window.
LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Installed on every button: tracks the hover state, then calls the standard
// button procedure.
LRESULT CALLBACK ButtonSubclassProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam);

// The worker's notification callback (context: the helper). Runs on the
// worker thread and only hands the notification to the window's thread, in
// order; a progress value equal to the last one posted is not posted again.
// Without a context or a window it does nothing.
void HandleSetupNotify(int type, int value, void* context);

// Private message carrying a notification to the window: wParam the type,
// lParam the value.
const UINT kSetupNotifyMessage = WM_APP + 1;

// How long a passive run (/passive) shows its failure screen before the
// window closes by itself; a press of Retry keeps it open.
const UINT_PTR kPassiveCloseTimer = 1;
// The download's progress line is redrawn this often while it shows.
const UINT_PTR kProgressLineTimer = 2;
const UINT kProgressLineMs = 500;
const UINT kPassiveFailureShowMs = 5000;

}  // namespace rerozadezGUI
