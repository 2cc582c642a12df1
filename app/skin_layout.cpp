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

bool ButtonPlace(int controlId, int cx, int cy, RECT* place) {
  switch (controlId) {
    case kMinimizeButtonId:
      *place = MakeRect(cx - 44, 10, 14, 14);
      return true;
    case kCloseButtonId:
      *place = MakeRect(cx - 24, 10, 14, 14);
      return true;
    // Retry, Cancel and Back share a place; no screen shows two of them.
    case kRetryButtonId:
    case kCancelButtonId:
    case kBackButtonId:
      *place = MakeRect(cx - 80, cy - 41, 60, 36);
      return true;
    // So do Install-driver and Open-page.
    case kInstallDriverButtonId:
    case kOpenPageButtonId:
      *place = MakeRect(cx - 219, cy - 41, 119, 36);
      return true;
    case kDetailsButtonId:
      *place = MakeRect(cx - 248, cy - 90, 100, 26);
      return true;
  }
  return false;
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

bool LabelForButton(int controlId, ButtonLabel* label) {
  switch (controlId) {
    case kInstallDriverButtonId:
      *label = {IDS_INSTALL_DRIVER, kWhite, true};
      return true;
    case kRetryButtonId:
      *label = {IDS_RETRY, kMidGrey, true};
      return true;
    case kCancelButtonId:
      *label = {IDS_CANCEL, kMidGrey, true};
      return true;
    case kBackButtonId:
      *label = {IDS_BACK, kMidGrey, true};
      return true;
    case kOpenPageButtonId:
      *label = {IDS_OPEN_PAGE, kWhite, true};
      return true;
    case kDetailsButtonId:
      *label = {IDS_DETAILS, kLinkBlue, false};
      return true;
  }
  return false;
}

POINT WindowOrigin(int screenWidth, int screenHeight, int width, int height) {
  // C++ division truncates toward zero, as the placement requires for a
  // window larger than the screen.
  POINT origin = {(screenWidth - width) / 2, (screenHeight - height) / 2 - 20};
  return origin;
}

}  // namespace rerozadezGUI
