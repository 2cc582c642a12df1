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

bool ButtonPlace(int controlId, int cx, int cy, RECT* place) {
  const ButtonEntry* button = FindButton(controlId);
  if (button == nullptr) {
    return false;
  }
  const int top = button->top < 0 ? cy + button->top : button->top;
  *place = MakeRect(cx - button->fromRight, top, button->width, button->height);
  return true;
}

RECT StatusBand(int cx, int cy) {
  RECT rect = {0, 170, cx, cy};
  return rect;
}

RECT CaptionBand(int cx, int cy) {
  RECT rect = {cx - 338, cy - 130, cx, cy - 100};
  return rect;
}

RECT BodyArea(int cx, int cy) {
  RECT rect = {0, 100, cx, cy};
  return rect;
}

RECT StatusLinePlace(int cx, int cy) {
  RECT rect = {0, cy - 42, cx, cy};
  return rect;
}

void PaintRows(int width, int height, TextRow rows[kTextRowCount]) {
  const TextRow table[kTextRowCount] = {
      {14, kMidGrey, TextSlot::kStatus, 0, height - 38},
      {14, kDarkGrey, TextSlot::kCaption, width - 288, height - 125},
      {12, kMidGrey, TextSlot::kHint, width - 455, height - 85},
      {12, kMidGrey, TextSlot::kError, 0, height - 42},
      {12, kMidGrey, TextSlot::kXpNote, width - 455, height - 85},
      {12, kDarkGrey, TextSlot::kDetail0, width - 455, height - 160},
      {12, kDarkGrey, TextSlot::kDetail1, width - 455, height - 140},
      {12, kLinkBlue, TextSlot::kDetail2, width - 455, height - 120},
      {12, kLinkBlue, TextSlot::kDetail3, width - 455, height - 100},
      {24, kDarkGrey, TextSlot::kHeading, width - 318, height - 160},
  };
  for (int i = 0; i < kTextRowCount; ++i) {
    rows[i] = table[i];
  }
}

ScreenTexts TextsForScreen(int screenState) {
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

bool ShowsXpNote(int screenState, bool xpOrEarlier) {
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
