#pragma once

#include <windows.h>

#include <memory>
#include <string>

namespace Gdiplus {
class Bitmap;
}

namespace rerozadezGUI {

// The window's state and its painting. Every member is read and written on
// the user-interface thread only: worker notifications reach it as messages.
class CQuillWndHelperDrawer {
 public:
  CQuillWndHelperDrawer();
  virtual ~CQuillWndHelperDrawer();
  CQuillWndHelperDrawer(const CQuillWndHelperDrawer&) = delete;
  CQuillWndHelperDrawer& operator=(const CQuillWndHelperDrawer&) = delete;

  // Draws the background, then the texts of the current screen, into dc
  // (the window's client area; the system clips to the repainted region).
  void Paint(HDC dc, HWND window);

  // Draws one owner-drawn button: an icon for minimize and close, else its
  // picture (the hover one while the mouse is over it) and label. Returns 1.
  int DrawButton(const DRAWITEMSTRUCT* item);

  ULONG_PTR gdiplusToken;
  std::wstring windowTitle;
  std::wstring windowClassName;
  std::wstring xpHintText;
  std::wstring statusText;
  std::wstring captionText;
  std::wstring headingText;
  std::wstring hintText;
  std::wstring detailLines[4];
  int screenState;
  std::wstring errorText;
  HWND closeButton;
  HWND minimizeButton;
  HWND retryButton;
  HWND installDriverButton;
  HWND cancelButton;
  HWND openPageButton;
  HWND backButton;
  HWND detailsButton;
  HWND progressBar;
  HWND mainWindow;
  int hoverButtonId;
  WNDPROC standardButtonProc;
  std::unique_ptr<Gdiplus::Bitmap> retryImage, retryHoverImage;
  std::unique_ptr<Gdiplus::Bitmap> installImage, installHoverImage;
  std::unique_ptr<Gdiplus::Bitmap> cancelImage, cancelHoverImage;
  std::unique_ptr<Gdiplus::Bitmap> openPageImage, openPageHoverImage;
  std::unique_ptr<Gdiplus::Bitmap> backImage, backHoverImage;
  std::unique_ptr<Gdiplus::Bitmap> detailsImage, detailsHoverImage;
  HICON minimizeIcon, minimizePressedIcon;
  HICON closeIcon, closePressedIcon;
  std::unique_ptr<Gdiplus::Bitmap> backgroundImage;
  HINSTANCE instance;
};

// The window itself: its class, creation, messages, commands and the
// reaction to the worker's notifications. Adds no data.
class CQuillWndHelper : public CQuillWndHelperDrawer {
 public:
  CQuillWndHelper() {}
  ~CQuillWndHelper() override {}

  // Loads the title and class name, then registers the window class.
  void RegisterWindowClass(HINSTANCE module);

  // Creates the window with its controls, pictures and icons, hooks the
  // worker's notifications, deploys the bridge tool and shows the window.
  // Always true.
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
  // Repaints everything below the title area.
  void InvalidateBody();

  // Commands 1002..1009; false for other ids.
  bool OnCommand(HWND window, int controlId);
  // Places the controls for a client area of cx × cy.
  void LayoutControls(int cx, int cy);
  // Stop request, a bounded wait for the worker, bridge tool processes
  // ended, window destroyed.
  void CloseWindowAndStop();
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
// order; without a context or a window it does nothing.
void HandleSetupNotify(int type, int value, void* context);

// Private message carrying a notification to the window: wParam the type,
// lParam the value.
const UINT kSetupNotifyMessage = WM_APP + 1;

// Brings the window of an already running copy of this program to the front.
void ActivateRunningInstance();

// The whole program after the entry point: single instance, configuration,
// installed-suite path, window and message loop. Returns the exit code.
int RunApplication(HINSTANCE module);

}  // namespace rerozadezGUI
