#pragma once

#include <windows.h>

namespace rerozadezGUI {

// Control ids of the window.
const int kProgressBarId = 1001;
const int kMinimizeButtonId = 1002;
const int kCloseButtonId = 1003;
const int kRetryButtonId = 1004;
const int kInstallDriverButtonId = 1005;
const int kCancelButtonId = 1006;
const int kOpenPageButtonId = 1007;
const int kBackButtonId = 1008;
const int kDetailsButtonId = 1009;
const int kStatusLineId = 1010;  // the status line's text for screen readers

// The three screens of the window (screenState).
enum ScreenState { ScreenMain = 0, ScreenMediaHint = 1, ScreenMediaDetails = 2 };

// One of the eight buttons, described once: its face, label and place. The
// window, its painting and the layout derive everything from this table.
struct ButtonEntry {
  int id;
  bool iconFace;  // minimize and close draw an icon pair, the rest pictures
  int face;       // picture (or icon) id
  int hoverFace;  // picture while hovered (icon while pressed)
  int label;      // string id; 0 for none
  COLORREF labelColour;
  bool labelCentred;  // else left-aligned
  int fromRight;      // left edge = client width - fromRight
  int top;            // top edge; below zero it counts from the bottom edge
  int width;
  int height;
  bool initiallyVisible;
  int name;  // string id of its window text, the name a screen reader speaks
};
const int kButtonCount = 8;
extern const ButtonEntry kButtons[kButtonCount];

// The table entry of a button; null for ids that are not one of the eight.
const ButtonEntry* FindButton(int controlId);

// The order Tab walks the buttons: the screen's own buttons first, the one
// that starts a run leading, the title-bar buttons last. Hidden buttons are
// skipped, so each screen reads in this order.
extern const int kTabOrder[kButtonCount];

// The button Enter presses: the first visible one in tab order that is not a
// title-bar button (Install-driver on the main screen, Retry after a failed
// download); 0 while a run shows none. visible(id) tells whether a button shows.
template <typename IsVisible>
int DefaultButton(IsVisible visible) {
  for (int id : kTabOrder) {
    const ButtonEntry* entry = FindButton(id);
    if (entry != nullptr && !entry->iconFace && visible(id)) {
      return id;
    }
  }
  return 0;
}

// The skin is laid out in pixels of a 96 DPI screen (100 %); on a screen of
// another DPI every length is scaled by dpi / 96, rounded.
const int kBaseDpi = 96;
int Scaled(int length, int dpi);

// Where a button goes in a client area of cx × cy on a screen of dpi. False
// for ids that are not one of the eight buttons.
bool ButtonPlace(int controlId, int cx, int cy, RECT* place, int dpi = kBaseDpi);

// Areas repainted when a text changes, for a client area of cx × cy.
RECT StatusBand(int cx, int cy, int dpi = kBaseDpi);   // status and error lines
RECT CaptionBand(int cx, int cy, int dpi = kBaseDpi);  // caption line
RECT BodyArea(int cx, int cy, int dpi = kBaseDpi);     // everything below the title area
// Where the status and error lines are drawn.
RECT StatusLinePlace(int cx, int cy, int dpi = kBaseDpi);
// Where the progress bar goes.
RECT ProgressBarPlace(int dpi = kBaseDpi);

// Which of the window's texts a painted row shows.
enum class TextSlot {
  kStatus,
  kCaption,
  kHint,
  kError,
  kXpNote,
  kDetail0,
  kDetail1,
  kDetail2,
  kDetail3,
  kFailure,
  kHeading
};

// One text row of a paint: font height in pixels, colour, and the top-left
// corner of its rectangle (which ends at the client area's bottom-right).
struct TextRow {
  int fontHeight;
  COLORREF colour;
  TextSlot slot;
  int left;
  int top;
};
const int kTextRowCount = 11;

// The rows in drawing order for a client area of width × height on a
// screen of dpi (font heights and offsets scaled).
void PaintRows(int width, int height, TextRow rows[kTextRowCount], int dpi = kBaseDpi);

// The buttons' label font height and the label's distance from the top.
const int kLabelFontHeight = 16;
const int kLabelTop = 5;

// The texts a paint derives from the screen: string ids, 0 for an empty
// text. changes is false for an unknown screen, which keeps every text.
struct ScreenTexts {
  bool changes;
  bool clearCaption;
  int heading;
  int hint;
  int details[4];
};
ScreenTexts TextsForScreen(ScreenState screenState);

// True when the Windows XP note belongs on this screen of this system.
bool ShowsXpNote(ScreenState screenState, bool xpOrEarlier);

// Picks the picture to draw: the preferred one, or the other of the pair when
// the preferred one is missing (null when both are).
template <typename T>
T* ChooseFace(bool wantAlternate, T* normal, T* alternate) {
  T* chosen = wantAlternate ? alternate : normal;
  return chosen != nullptr ? chosen : (wantAlternate ? normal : alternate);
}

// True when an owner-drawn button draws its focus: it has the focus
// (ODS_FOCUS), the draw record does not hide it (ODS_NOFOCUSRECT), and the
// keyboard has been used to move around the window (focusCues).
bool ShowsFocus(UINT itemState, bool focusCues);

// The window's keyboard cues after a WM_CHANGEUISTATE or WM_UPDATEUISTATE
// with this wParam: UISF_HIDEFOCUS set hides the focus, cleared shows it.
bool FocusCuesAfter(bool focusCues, WPARAM uiStateChange);

// Where the window goes on a screen of the given size: centred, 20 pixels
// above the middle.
POINT WindowOrigin(int screenWidth, int screenHeight, int width, int height);

}  // namespace rerozadezGUI
