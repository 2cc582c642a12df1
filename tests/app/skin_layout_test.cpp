// Where the window puts its controls and texts, and which texts a screen shows.
#include "app/skin_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <iterator>

#include "resources/resource_ids.h"

namespace {

using namespace rerozadezGUI;

RECT Place(int id, int cx = 482, int cy = 273) {
  RECT place = {-1, -1, -1, -1};
  EXPECT_TRUE(ButtonPlace(id, cx, cy, &place)) << id;
  return place;
}

void ExpectRect(RECT rect, int left, int top, int width, int height) {
  EXPECT_EQ(left, rect.left);
  EXPECT_EQ(top, rect.top);
  EXPECT_EQ(width, rect.right - rect.left);
  EXPECT_EQ(height, rect.bottom - rect.top);
}

// Buttons that share a place are never shown together; any other two must
// not overlap, and every button lies inside the window, in the window's own
// size and a larger one (places follow the right and bottom edges).
TEST(ButtonTable, EveryButtonFitsTheWindowAndOnlyExclusiveOnesShareAPlace) {
  const int sharedPlaces[][3] = {{kRetryButtonId, kCancelButtonId, kBackButtonId},
                                 {kInstallDriverButtonId, kOpenPageButtonId, 0}};
  auto placeGroup = [&](int id) {
    for (int group = 0; group < 2; ++group) {
      for (int member : sharedPlaces[group]) {
        if (member == id) {
          return group;
        }
      }
    }
    return -1 - id;
  };
  for (const SIZE& size : {SIZE{482, 273}, SIZE{600, 400}}) {
    for (const ButtonEntry& a : kButtons) {
      const RECT placeA = Place(a.id, size.cx, size.cy);
      EXPECT_GE(placeA.left, 0) << a.id;
      EXPECT_GE(placeA.top, 0) << a.id;
      EXPECT_LE(placeA.right, size.cx) << a.id;
      EXPECT_LE(placeA.bottom, size.cy) << a.id;
      // Icon buttons carry no label; picture buttons always do.
      EXPECT_EQ(a.label == 0, a.iconFace) << a.id;
      for (const ButtonEntry& b : kButtons) {
        if (&a == &b) {
          continue;
        }
        const RECT placeB = Place(b.id, size.cx, size.cy);
        RECT overlap = {};
        const bool overlaps = IntersectRect(&overlap, &placeA, &placeB) != FALSE;
        EXPECT_EQ(overlaps, placeGroup(a.id) == placeGroup(b.id)) << a.id << " and " << b.id;
      }
    }
  }
  // The standard background's corner buttons, as the skin draws them.
  ExpectRect(Place(kCloseButtonId), 458, 10, 14, 14);
  ExpectRect(Place(kInstallDriverButtonId), 263, 232, 119, 36);
}

TEST(ButtonPlace, OtherIdsHaveNoPlace) {
  RECT place = {1, 2, 3, 4};
  EXPECT_FALSE(ButtonPlace(kProgressBarId, 482, 273, &place));
  EXPECT_FALSE(ButtonPlace(1010, 482, 273, &place));
  EXPECT_FALSE(ButtonPlace(0, 482, 273, &place));
  EXPECT_EQ(1, place.left);
}

TEST(RepaintAreas, CoverTheLinesTheyRepaint) {
  const RECT status = StatusBand(482, 273);
  ExpectRect(status, 0, 170, 482, 103);
  const RECT caption = CaptionBand(482, 273);
  ExpectRect(caption, 144, 143, 338, 30);
  ExpectRect(BodyArea(482, 273), 0, 100, 482, 173);

  TextRow rows[kTextRowCount];
  PaintRows(482, 273, rows);
  for (const TextRow& row : rows) {
    if (row.slot == TextSlot::kStatus || row.slot == TextSlot::kError) {
      // The status band must cover the status and the error lines.
      EXPECT_GE(row.top, status.top);
    }
    if (row.slot == TextSlot::kCaption) {
      EXPECT_GE(row.left, caption.left);
      EXPECT_GE(row.top, caption.top);
      EXPECT_LE(row.top + row.fontHeight, caption.bottom);
    }
  }
}

// The pixel positions are the rendering check's business; what the painter
// relies on is that every row lies in the repainted body and that rows of
// one font size come together (one font per run).
TEST(PaintRows, EveryRowLiesInTheBodyAndSizesComeInRuns) {
  for (const SIZE& size : {SIZE{482, 273}, SIZE{600, 400}}) {
    TextRow rows[kTextRowCount];
    PaintRows(size.cx, size.cy, rows);
    const RECT body = BodyArea(size.cx, size.cy);
    int runs = 0;
    for (int i = 0; i < kTextRowCount; ++i) {
      EXPECT_GE(rows[i].left, 0) << i;
      EXPECT_GE(rows[i].top, body.top) << i;
      EXPECT_LE(rows[i].top + rows[i].fontHeight, size.cy) << i;
      runs += i == 0 || rows[i].fontHeight != rows[i - 1].fontHeight ? 1 : 0;
    }
    EXPECT_EQ(3, runs);  // 14, 12 and 24 pixels
  }
}

TEST(TextsForScreen, EachScreenDerivesItsOwnTexts) {
  const ScreenTexts main = TextsForScreen(ScreenMain);
  EXPECT_TRUE(main.changes);
  EXPECT_FALSE(main.clearCaption);
  EXPECT_EQ(IDS_WINDOW_TITLE, main.heading);
  EXPECT_EQ(0, main.hint);
  for (int line : main.details)
    EXPECT_EQ(0, line);

  const ScreenTexts hint = TextsForScreen(ScreenMediaHint);
  EXPECT_TRUE(hint.clearCaption);
  EXPECT_EQ(IDS_WINDOW_TITLE, hint.heading);
  EXPECT_EQ(IDS_MEDIA_HINT, hint.hint);
  for (int line : hint.details)
    EXPECT_EQ(0, line);

  const ScreenTexts details = TextsForScreen(ScreenMediaDetails);
  EXPECT_TRUE(details.clearCaption);
  EXPECT_EQ(0, details.heading);
  EXPECT_EQ(0, details.hint);
  EXPECT_EQ(IDS_MEDIA_DETAIL_1, details.details[0]);
  EXPECT_EQ(IDS_MEDIA_DETAIL_2, details.details[1]);
  EXPECT_EQ(IDS_MEDIA_DETAIL_3, details.details[2]);
  EXPECT_EQ(IDS_MEDIA_DETAIL_4, details.details[3]);

  EXPECT_FALSE(TextsForScreen(static_cast<ScreenState>(3)).changes);
  EXPECT_FALSE(TextsForScreen(static_cast<ScreenState>(-1)).changes);
}

TEST(ShowsXpNote, OnlyOnTheMainScreenOfOldSystems) {
  EXPECT_TRUE(ShowsXpNote(ScreenMain, true));
  EXPECT_FALSE(ShowsXpNote(ScreenMediaHint, true));
  EXPECT_FALSE(ShowsXpNote(ScreenMediaDetails, true));
  EXPECT_FALSE(ShowsXpNote(ScreenMain, false));
}

TEST(ChooseFace, FallsBackToTheOtherPictureOfThePair) {
  int normal = 1;
  int hover = 2;
  EXPECT_EQ(&hover, ChooseFace<int>(true, &normal, &hover));
  EXPECT_EQ(&normal, ChooseFace<int>(false, &normal, &hover));
  EXPECT_EQ(&normal, ChooseFace<int>(true, &normal, nullptr));
  EXPECT_EQ(&hover, ChooseFace<int>(false, nullptr, &hover));
  EXPECT_EQ(nullptr, ChooseFace<int>(true, nullptr, nullptr));
}

// Enter presses the screen's own button, never a title-bar one.
TEST(DefaultButton, TheFirstShownScreenButtonInTabOrder) {
  auto shown = [](std::initializer_list<int> ids) {
    return [ids](int id) { return std::find(ids.begin(), ids.end(), id) != ids.end(); };
  };
  const int titleBar[] = {kMinimizeButtonId, kCloseButtonId};
  EXPECT_EQ(kInstallDriverButtonId,
            DefaultButton(shown({kMinimizeButtonId, kCloseButtonId, kInstallDriverButtonId})));
  EXPECT_EQ(kRetryButtonId, DefaultButton(shown({kCloseButtonId, kRetryButtonId})));
  EXPECT_EQ(kInstallDriverButtonId,
            DefaultButton(shown({kDetailsButtonId, kInstallDriverButtonId})));
  EXPECT_EQ(kOpenPageButtonId, DefaultButton(shown({kBackButtonId, kOpenPageButtonId})));
  EXPECT_EQ(0, DefaultButton(shown({titleBar[0], titleBar[1]})));  // during a run
  // Every button has one place in the order, the title-bar ones last.
  for (const ButtonEntry& button : kButtons) {
    EXPECT_EQ(1, std::count(std::begin(kTabOrder), std::end(kTabOrder), button.id)) << button.id;
  }
  EXPECT_EQ(kMinimizeButtonId, kTabOrder[kButtonCount - 2]);
  EXPECT_EQ(kCloseButtonId, kTabOrder[kButtonCount - 1]);
}

// The focus shows only on the focused button, and only after the keyboard
// cleared UISF_HIDEFOCUS.
TEST(ShowsFocus, FollowsTheKeyboardCues) {
  EXPECT_FALSE(ShowsFocus(ODS_FOCUS, false));
  EXPECT_TRUE(ShowsFocus(ODS_FOCUS, true));
  EXPECT_FALSE(ShowsFocus(ODS_FOCUS | ODS_NOFOCUSRECT, true));
  EXPECT_FALSE(ShowsFocus(ODS_SELECTED, true));

  const bool shown = FocusCuesAfter(false, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS));
  EXPECT_TRUE(shown);
  EXPECT_FALSE(FocusCuesAfter(shown, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS | UISF_HIDEACCEL)));
  EXPECT_TRUE(FocusCuesAfter(shown, MAKEWPARAM(UIS_SET, UISF_HIDEACCEL)));  // not the focus
  EXPECT_FALSE(FocusCuesAfter(false, MAKEWPARAM(UIS_INITIALIZE, UISF_HIDEFOCUS)));
}

TEST(WindowOrigin, CentredTwentyPixelsAboveTheMiddle) {
  POINT origin = WindowOrigin(1024, 768, 482, 273);
  EXPECT_EQ(271, origin.x);
  EXPECT_EQ(227, origin.y);  // (768 - 273) / 2 = 247, truncated
  origin = WindowOrigin(400, 200, 482, 273);
  EXPECT_EQ(-41, origin.x);  // truncated toward zero, not down
  EXPECT_EQ(-56, origin.y);
}

}  // namespace
