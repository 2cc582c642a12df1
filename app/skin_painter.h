#pragma once

// The skinned window's state and its painting.
//
// Names the program keeps from its first release:
//   rerozadezGUI           the window's namespace
//   CQuillWndHelperDrawer  the window's state and painting (this file)
//   CQuillWndHelper        the window itself: creation, messages, commands
//                          (app/main_window.h)

#include <windows.h>

#include <memory>
#include <string>

#include "app/skin_layout.h"

namespace Gdiplus {
class Bitmap;
}

namespace rerozadezGUI {

// The texts the window shows, each loaded from the string table.
struct WindowTexts {
  std::wstring title;
  std::wstring className;
  std::wstring xpNote;  // loaded only on Windows XP and older
  std::wstring status;
  std::wstring caption;
  std::wstring heading;
  std::wstring hint;
  std::wstring details[4];
  std::wstring error;
  std::wstring failure;  // under the error line: what failed and what to do
};

// One of the eight buttons: its window and its faces (pictures for the
// picture buttons, icons for minimize and close).
struct ButtonSlot {
  HWND window = nullptr;
  std::unique_ptr<Gdiplus::Bitmap> face;
  std::unique_ptr<Gdiplus::Bitmap> hoverFace;
  HICON icon = nullptr;
  HICON pressedIcon = nullptr;
};

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

  // The text a painted row shows; null for none (the XP note off XP).
  const std::wstring* TextOf(TextSlot slot, bool xpNote) const;

  // The slot of one of the eight buttons, in the order of kButtons; null
  // for other ids.
  ButtonSlot* Slot(int controlId);
  // The button's window; null for other ids or before it was created.
  HWND Button(int controlId) const;

  // The window and its controls.
  HWND mainWindow;
  HWND progressBar;
  HWND statusLine;  // names the status band for screen readers; draws nothing
  ButtonSlot buttons[kButtonCount];
  WNDPROC standardButtonProc;  // the buttons' own procedure, under the subclass

  // What the window shows.
  WindowTexts texts;
  ScreenState screenState;
  int hoverButtonId;  // the button under the mouse, 0 for none
  // Whether the focus is drawn: off until the keyboard is used to move
  // around the window, so that mouse users see no change.
  bool focusCues;
  // The screen's DPI: the skin is drawn at dpi / 96 of its 96 DPI size.
  int dpi;
  std::unique_ptr<Gdiplus::Bitmap> backgroundImage;

  ULONG_PTR gdiplusToken;
};

}  // namespace rerozadezGUI
