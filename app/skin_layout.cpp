#include "app/skin_layout.h"

#include "resources/resource_ids.h"

namespace rerozadezGUI {
namespace {

const COLORREF kDarkGrey = RGB(51, 51, 51);
const COLORREF kMidGrey = RGB(85, 85, 85);
const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kLinkBlue = RGB(4, 156, 219);

RECT MakeRect(int left, int top, int width, int height) {
  RECT rect = {left, top, left + width, top + height};
  return rect;
}

}  // namespace

// Retry, Cancel and Back share a place, and so do Install-driver and
// Open-page: no screen shows two of them. A picture button's name is its
// label; the title-bar buttons, drawn as icons, have names of their own.
const ButtonEntry kButtons[kButtonCount] = {
    {kMinimizeButtonId, true, IDI_MINIMIZE, IDI_MINIMIZE_PRESSED, 0, 0, false, 44, 10, 14, 14, true,
     IDS_MINIMIZE_NAME},
    {kCloseButtonId, true, IDI_CLOSE, IDI_CLOSE_PRESSED, 0, 0, false, 24, 10, 14, 14, true,
     IDS_CLOSE_NAME},
    {kRetryButtonId, false, IDP_SMALL_BUTTON, IDP_SMALL_BUTTON_HOVER, IDS_RETRY, kMidGrey, true, 80,
     -41, 60, 36, false, IDS_RETRY},
    {kInstallDriverButtonId, false, IDP_WIDE_BUTTON, IDP_WIDE_BUTTON_HOVER, IDS_INSTALL_DRIVER,
     kWhite, true, 219, -41, 119, 36, true, IDS_INSTALL_DRIVER},
    {kCancelButtonId, false, IDP_SMALL_BUTTON, IDP_SMALL_BUTTON_HOVER, IDS_CANCEL, kMidGrey, true,
     80, -41, 60, 36, false, IDS_CANCEL},
    {kOpenPageButtonId, false, IDP_WIDE_BUTTON, IDP_WIDE_BUTTON_HOVER, IDS_OPEN_PAGE, kWhite, true,
     219, -41, 119, 36, false, IDS_OPEN_PAGE},
    {kBackButtonId, false, IDP_SMALL_BUTTON, IDP_SMALL_BUTTON_HOVER, IDS_BACK, kMidGrey, true, 80,
     -41, 60, 36, false, IDS_BACK},
    {kDetailsButtonId, false, IDP_DETAILS_BUTTON, IDP_DETAILS_BUTTON, IDS_DETAILS, kLinkBlue, false,
     248, -90, 100, 26, false, IDS_DETAILS},
};

const int kTabOrder[kButtonCount] = {kInstallDriverButtonId, kRetryButtonId, kOpenPageButtonId,
                                     kDetailsButtonId,       kBackButtonId,  kCancelButtonId,
                                     kMinimizeButtonId,      kCloseButtonId};

const ButtonEntry* FindButton(int controlId) {
  for (const ButtonEntry& button : kButtons) {
    if (button.id == controlId) {
      return &button;
    }
  }
  return nullptr;
}

int Scaled(int length, int dpi) {
  return MulDiv(length, dpi, kBaseDpi);
}

bool ButtonPlace(int controlId, int cx, int cy, RECT* place, int dpi) {
  const ButtonEntry* button = FindButton(controlId);
  if (button == nullptr) {
    return false;
  }
  const int top = button->top < 0 ? cy - Scaled(-button->top, dpi) : Scaled(button->top, dpi);
  *place = MakeRect(cx - Scaled(button->fromRight, dpi), top, Scaled(button->width, dpi),
                    Scaled(button->height, dpi));
  return true;
}

RECT StatusBand(int cx, int cy, int dpi) {
  RECT rect = {0, Scaled(170, dpi), cx, cy};
  return rect;
}

RECT CaptionBand(int cx, int cy, int dpi) {
  RECT rect = {cx - Scaled(338, dpi), cy - Scaled(130, dpi), cx, cy - Scaled(100, dpi)};
  return rect;
}

RECT BodyArea(int cx, int cy, int dpi) {
  RECT rect = {0, Scaled(100, dpi), cx, cy};
  return rect;
}

RECT StatusLinePlace(int cx, int cy, int dpi) {
  RECT rect = {0, cy - Scaled(42, dpi), cx, cy};
  return rect;
}

RECT ProgressBarPlace(int dpi) {
  return MakeRect(0, Scaled(218, dpi), Scaled(481, dpi), Scaled(9, dpi));
}

void PaintRows(int width, int height, TextRow rows[kTextRowCount], int dpi) {
  // Each row at 96 DPI: its font height, and its distances from the right
  // and bottom edges (kLeftEdge: the row starts at the left edge).
  struct RowAt96Dpi {
    int fontHeight;
    COLORREF colour;
    TextSlot slot;
    int fromRight;
    int fromBottom;
  };
  const int kLeftEdge = -1;
  const RowAt96Dpi table[kTextRowCount] = {
      {14, kMidGrey, TextSlot::kStatus, kLeftEdge, 38},
      {14, kDarkGrey, TextSlot::kCaption, 288, 125},
      {12, kMidGrey, TextSlot::kHint, 455, 85},
      {12, kMidGrey, TextSlot::kError, kLeftEdge, 42},
      {12, kMidGrey, TextSlot::kXpNote, 455, 85},
      {12, kDarkGrey, TextSlot::kDetail0, 455, 160},
      {12, kDarkGrey, TextSlot::kDetail1, 455, 140},
      {12, kLinkBlue, TextSlot::kDetail2, 455, 120},
      {12, kLinkBlue, TextSlot::kDetail3, 455, 100},
      {12, kMidGrey, TextSlot::kFailure, kLeftEdge, 24},
      {24, kDarkGrey, TextSlot::kHeading, 318, 160},
  };
  for (int i = 0; i < kTextRowCount; ++i) {
    const RowAt96Dpi& row = table[i];
    rows[i].fontHeight = Scaled(row.fontHeight, dpi);
    rows[i].colour = row.colour;
    rows[i].slot = row.slot;
    rows[i].left = row.fromRight == kLeftEdge ? 0 : width - Scaled(row.fromRight, dpi);
    rows[i].top = height - Scaled(row.fromBottom, dpi);
  }
}

ScreenTexts TextsForScreen(ScreenState screenState) {
  ScreenTexts texts = {true, false, 0, 0, {0, 0, 0, 0}};
  switch (screenState) {
    case ScreenMediaDetails:
      texts.clearCaption = true;
      texts.details[0] = IDS_MEDIA_DETAIL_1;
      texts.details[1] = IDS_MEDIA_DETAIL_2;
      texts.details[2] = IDS_MEDIA_DETAIL_3;
      texts.details[3] = IDS_MEDIA_DETAIL_4;
      break;
    case ScreenMediaHint:
      texts.clearCaption = true;
      texts.heading = IDS_WINDOW_TITLE;
      texts.hint = IDS_MEDIA_HINT;
      break;
    case ScreenMain:
      texts.heading = IDS_WINDOW_TITLE;
      break;
    default:
      texts.changes = false;
      break;
  }
  return texts;
}

bool ShowsXpNote(ScreenState screenState, bool xpOrEarlier) {
  return xpOrEarlier && screenState != ScreenMediaHint && screenState != ScreenMediaDetails;
}

bool ShowsFocus(UINT itemState, bool focusCues) {
  return focusCues && (itemState & ODS_FOCUS) != 0 && (itemState & ODS_NOFOCUSRECT) == 0;
}

bool FocusCuesAfter(bool focusCues, WPARAM uiStateChange) {
  if ((HIWORD(uiStateChange) & UISF_HIDEFOCUS) == 0) {
    return focusCues;
  }
  switch (LOWORD(uiStateChange)) {
    case UIS_SET:
      return false;
    case UIS_CLEAR:
      return true;
  }
  return focusCues;  // UIS_INITIALIZE: the system decides; keep ours
}

POINT WindowOrigin(int screenWidth, int screenHeight, int width, int height) {
  // C++ division truncates toward zero, as the placement requires for a
  // window larger than the screen.
  POINT origin = {(screenWidth - width) / 2, (screenHeight - height) / 2 - 20};
  return origin;
}

}  // namespace rerozadezGUI
