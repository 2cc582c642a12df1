// Painting the window and its buttons into a bitmap, then reading the
// pixels a user would see.
#include <windows.h>
#include <objidl.h>

#include <gdiplus.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "app/skin_layout.h"
#include "app/main_window.h"
#include "resources/resource_ids.h"
#include "app/resource_util.h"
#include "tests/app/gdiplus_session.h"

namespace {

using namespace rerozadezGUI;

const COLORREF kSentinel = RGB(255, 0, 255);

// A 32-bit top-down bitmap selected into a memory device context, filled
// with the sentinel colour.
class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ =
        CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
    previous_ = SelectObject(dc_, bitmap_);
    for (int i = 0; i < width * height; ++i) {
      bits_[i] = 0x00FF00FF;
    }
  }
  ~Canvas() {
    SelectObject(dc_, previous_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  HDC Dc() const { return dc_; }
  COLORREF At(int x, int y) const {
    GdiFlush();
    const DWORD pixel = bits_[y * width_ + x];
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
  }
  // Pixels inside [left, right) × [top, bottom) for which the test holds.
  template <typename Test>
  int Count(int left, int top, int right, int bottom, Test test) const {
    int count = 0;
    for (int y = top; y < bottom; ++y) {
      for (int x = left; x < right; ++x) {
        count += test(At(x, y)) ? 1 : 0;
      }
    }
    return count;
  }
  std::vector<DWORD> Pixels() const {
    GdiFlush();
    return std::vector<DWORD>(bits_, bits_ + width_ * height_);
  }

 private:
  int width_;
  int height_;
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ previous_;
  DWORD* bits_ = nullptr;
};

bool IsDark(COLORREF colour) {
  return GetRValue(colour) < 160 && GetGValue(colour) < 160 && GetBValue(colour) < 160;
}
bool IsLinkBlue(COLORREF colour) {
  return GetBValue(colour) > GetRValue(colour) + 60 && colour != kSentinel;
}
bool IsWhitish(COLORREF colour) {
  return GetRValue(colour) > 200 && GetGValue(colour) > 200 && GetBValue(colour) > 200;
}

// A hidden window of the given client size: Paint only asks it for its size.
class SizedWindow {
 public:
  SizedWindow(int width, int height) {
    window_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, width, height, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  }
  ~SizedWindow() { DestroyWindow(window_); }
  HWND Get() const { return window_; }

 private:
  HWND window_;
};

class PaintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(gdiplus_.Started());
    ASSERT_NE(nullptr, window_.Get());
  }
  std::unique_ptr<Gdiplus::Bitmap> Picture(UINT id) {
    return rerozadez::GetResourceUtil()->LoadPngImage(id, GetModuleHandleW(nullptr));
  }
  static std::wstring Text(UINT id) { return rerozadez::GetResourceUtil()->LoadStringText(id); }

  quilltest::GdiplusSession gdiplus_;
  SizedWindow window_{482, 273};
  CQuillWndHelperDrawer drawer_;
  Canvas canvas_{482, 273};
};

TEST_F(PaintTest, MainScreenShowsBackgroundHeadingAndStatus) {
  drawer_.backgroundImage = Picture(IDP_BACKGROUND);
  drawer_.texts.status = Text(IDS_STATUS_DOWNLOADING);
  drawer_.texts.hint = L"left over from another screen";
  drawer_.Paint(canvas_.Dc(), window_.Get());

  EXPECT_EQ(RGB(171, 171, 171), canvas_.At(0, 0));
  EXPECT_EQ(RGB(171, 171, 171), canvas_.At(481, 150));
  EXPECT_EQ(RGB(176, 176, 176), canvas_.At(300, 221));
  EXPECT_EQ(RGB(235, 235, 235), canvas_.At(470, 262));
  EXPECT_EQ(RGB(249, 249, 249), canvas_.At(100, 160));
  // The heading's characters at (164, 113), the status line at (0, 235)
  // after its six blanks.
  EXPECT_GT(canvas_.Count(164, 113, 482, 142, IsDark), 40);
  EXPECT_GT(canvas_.Count(20, 235, 250, 253, IsDark), 20);
  EXPECT_EQ(0, canvas_.Count(0, 235, 12, 253, IsDark));
  // Nothing where the hint line would be.
  EXPECT_EQ(0, canvas_.Count(27, 188, 482, 202, IsDark));
  EXPECT_EQ(Text(IDS_WINDOW_TITLE), drawer_.texts.heading);
  EXPECT_EQ(L"", drawer_.texts.hint);
}

TEST_F(PaintTest, DetailsScreenDrawsTheAddressInLinkBlueAndDropsTheCaption) {
  drawer_.backgroundImage = Picture(IDP_BACKGROUND);
  drawer_.screenState = ScreenMediaDetails;
  drawer_.texts.caption = Text(IDS_CAPTION_FETCH_STAGE);
  drawer_.Paint(canvas_.Dc(), window_.Get());

  EXPECT_EQ(L"", drawer_.texts.caption);
  EXPECT_EQ(L"", drawer_.texts.heading);
  EXPECT_EQ(Text(IDS_MEDIA_DETAIL_3), drawer_.texts.details[2]);
  // Lines 3 and 4 in blue, lines 1 and 2 in dark grey.
  EXPECT_GT(canvas_.Count(27, 153, 482, 168, IsLinkBlue), 20);
  EXPECT_GT(canvas_.Count(27, 173, 300, 188, IsLinkBlue), 10);
  EXPECT_EQ(0, canvas_.Count(27, 113, 482, 128, IsLinkBlue));
  EXPECT_GT(canvas_.Count(27, 113, 482, 128, IsDark), 20);
}

TEST_F(PaintTest, HintScreenShowsTheHintLineAndDropsTheCaption) {
  drawer_.backgroundImage = Picture(IDP_BACKGROUND);
  drawer_.screenState = ScreenMediaHint;
  drawer_.texts.caption = Text(IDS_CAPTION_RUN_STARTED);
  drawer_.texts.details[0] = L"stale";
  drawer_.Paint(canvas_.Dc(), window_.Get());

  EXPECT_EQ(L"", drawer_.texts.caption);
  EXPECT_EQ(L"", drawer_.texts.details[0]);
  EXPECT_EQ(Text(IDS_MEDIA_HINT), drawer_.texts.hint);
  EXPECT_GT(canvas_.Count(27, 188, 482, 202, IsDark), 20);
  // The caption's place stays empty.
  EXPECT_EQ(0, canvas_.Count(194, 148, 482, 164, IsDark));
}

TEST_F(PaintTest, WithoutABackgroundOnlyTheTextsAreDrawn) {
  drawer_.Paint(canvas_.Dc(), window_.Get());
  EXPECT_EQ(kSentinel, canvas_.At(0, 0));
  EXPECT_EQ(kSentinel, canvas_.At(300, 221));
  EXPECT_GT(canvas_.Count(164, 113, 482, 142, IsDark), 40);
}

// The extent of a text in the painter's font at a height.
SIZE TextExtent(const std::wstring& text, int fontHeight) {
  HDC dc = CreateCompatibleDC(nullptr);
  HFONT font = CreateFontW(-fontHeight, 0, 0, 0, 10, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0,
                           0, L"Microsoft YaHei");
  HGDIOBJ previous = SelectObject(dc, font);
  SIZE size = {};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, previous);
  DeleteObject(font);
  DeleteDC(dc);
  return size;
}

bool Overlap(const RECT& a, const RECT& b) {
  RECT common = {};
  return IntersectRect(&common, &a, &b) != FALSE;
}

// What each screen draws at once: its texts (by row and string id, with
// every alternative of a row) and its visible buttons.
struct ScreenContents {
  const char* name;
  std::vector<std::pair<TextSlot, int>> texts;
  std::vector<int> buttons;
};

// The screens with every text each can show, the longest or not.
const std::vector<ScreenContents>& AllScreens() {
  static const std::vector<ScreenContents> screens = {
      {"main",
       {{TextSlot::kHeading, IDS_WINDOW_TITLE}, {TextSlot::kXpNote, IDS_XP_NEW_HARDWARE_NOTE}},
       {kInstallDriverButtonId}},
      {"run",
       {{TextSlot::kHeading, IDS_WINDOW_TITLE},
        {TextSlot::kXpNote, IDS_XP_NEW_HARDWARE_NOTE},
        {TextSlot::kCaption, IDS_CAPTION_RUN_STARTED},
        {TextSlot::kCaption, IDS_CAPTION_FETCH_STAGE},
        {TextSlot::kStatus, IDS_STATUS_CHECKSUM_MISMATCH},
        {TextSlot::kStatus, IDS_STATUS_READING_SD_CARD},
        {TextSlot::kStatus, IDS_STATUS_DOWNLOADING},
        {TextSlot::kStatus, IDS_STATUS_LAUNCHING_SETUP},
        {TextSlot::kStatus, IDS_STATUS_INSTALLING_DRIVER}},
       {}},
      {"failed",
       {{TextSlot::kHeading, IDS_WINDOW_TITLE},
        {TextSlot::kXpNote, IDS_XP_NEW_HARDWARE_NOTE},
        {TextSlot::kError, IDS_ERROR_DOWNLOAD_FAILED},
        {TextSlot::kFailure, IDS_FAILURE_NO_CONNECTION},
        {TextSlot::kFailure, IDS_FAILURE_PROXY_REFUSED},
        {TextSlot::kFailure, IDS_FAILURE_BAD_REPLY},
        {TextSlot::kFailure, IDS_FAILURE_DOWNLOAD_BROKEN},
        {TextSlot::kFailure, IDS_FAILURE_NOT_PUBLISHER},
        {TextSlot::kFailure, IDS_FAILURE_DISK},
        {TextSlot::kFailure, IDS_FAILURE_FILE_IN_USE},
        {TextSlot::kFailure, IDS_FAILURE_SETUP_NOT_STARTED}},
       {kRetryButtonId}},
      {"hint",
       {{TextSlot::kHeading, IDS_WINDOW_TITLE}, {TextSlot::kHint, IDS_MEDIA_HINT}},
       {kInstallDriverButtonId, kDetailsButtonId}},
      {"details",
       {{TextSlot::kDetail0, IDS_MEDIA_DETAIL_1},
        {TextSlot::kDetail1, IDS_MEDIA_DETAIL_2},
        {TextSlot::kDetail2, IDS_MEDIA_DETAIL_3},
        {TextSlot::kDetail3, IDS_MEDIA_DETAIL_4}},
       {kOpenPageButtonId, kBackButtonId}},
  };
  return screens;
}

// Checks every screen of the chosen language at one DPI.
void ExpectEveryTextFits(int dpi, const char* language) {
  const int width = Scaled(482, dpi);
  const int height = Scaled(273, dpi);
  const RECT window = {0, 0, width, height};
  TextRow rows[kTextRowCount];
  PaintRows(width, height, rows, dpi);
  for (const ScreenContents& screen : AllScreens()) {
    std::vector<RECT> taken;
    for (int id : screen.buttons) {
      RECT place = {};
      ButtonPlace(id, width, height, &place, dpi);
      taken.push_back(place);
    }
    for (int id : {kMinimizeButtonId, kCloseButtonId}) {
      RECT place = {};
      ButtonPlace(id, width, height, &place, dpi);
      taken.push_back(place);
    }
    if (std::string(screen.name) == "run" || std::string(screen.name) == "failed") {
      taken.push_back(ProgressBarPlace(dpi));
    }
    std::vector<std::pair<TextSlot, RECT>> drawn;
    for (const auto& text : screen.texts) {
      const TextRow* row = std::find_if(rows, rows + kTextRowCount,
                                        [&](const TextRow& r) { return r.slot == text.first; });
      const SIZE extent = TextExtent(rerozadez::LoadTextOrEmpty(text.second), row->fontHeight);
      const RECT box = {row->left, row->top, row->left + extent.cx, row->top + extent.cy};
      const std::string where = std::string(language) + " " + screen.name + " at " +
                                std::to_string(dpi) + " DPI, text " + std::to_string(text.second);
      RECT inside = {};
      IntersectRect(&inside, &box, &window);
      EXPECT_TRUE(EqualRect(&inside, &box)) << where << " runs out of the window";
      for (const RECT& place : taken) {
        EXPECT_FALSE(Overlap(box, place)) << where << " meets a control";
      }
      for (const auto& other : drawn) {
        EXPECT_TRUE(other.first == text.first || !Overlap(box, other.second))
            << where << " meets another text";
      }
      drawn.push_back({text.first, box});
    }
  }
  for (const ButtonEntry& button : kButtons) {
    if (button.label == 0) {
      continue;
    }
    const SIZE extent =
        TextExtent(rerozadez::LoadTextOrEmpty(button.label), Scaled(kLabelFontHeight, dpi));
    EXPECT_LE(extent.cx, Scaled(button.width, dpi))
        << language << " " << button.id << " at " << dpi;
    EXPECT_LE(Scaled(kLabelTop, dpi) + extent.cy, Scaled(button.height, dpi))
        << language << " " << button.id << " at " << dpi;
  }
}

// In both languages at 100, 125, 150 and 200 % every text of every screen
// lies inside the window, clear of the shown buttons, the progress bar and
// the other texts of its screen, and every label inside its button: nothing
// is clipped or covered.
TEST(ScaledSkin, EveryTextFitsItsPlaceAtEachScaleInEachLanguage) {
  for (const auto& language : {std::make_pair(rerozadez::UiLanguage::kChinese, "Chinese"),
                               std::make_pair(rerozadez::UiLanguage::kEnglish, "English")}) {
    rerozadez::GetResourceUtil()->SetLanguage(language.first);
    for (int dpi : {96, 120, 144, 192}) {
      ExpectEveryTextFits(dpi, language.second);
    }
  }
  rerozadez::GetResourceUtil()->SetLanguage(rerozadez::UiLanguage::kChinese);
}

class DrawButtonTest : public PaintTest {
 protected:
  DRAWITEMSTRUCT Item(int id, HWND button, UINT state = 0) {
    DRAWITEMSTRUCT item = {};
    item.CtlType = ODT_BUTTON;
    item.CtlID = static_cast<UINT>(id);
    item.itemState = state;
    item.hwndItem = button;
    item.hDC = canvas_.Dc();
    return item;
  }
  static COLORREF PictureAt(Gdiplus::Bitmap* picture, int x, int y) {
    Gdiplus::Color colour;
    picture->GetPixel(x, y, &colour);
    return RGB(colour.GetR(), colour.GetG(), colour.GetB());
  }
  SizedWindow wideButton_{119, 36};
};

TEST_F(DrawButtonTest, HoveredPictureButtonShowsItsHoverFaceAndWhiteLabel) {
  drawer_.Slot(kInstallDriverButtonId)->face = Picture(IDP_WIDE_BUTTON);
  drawer_.Slot(kInstallDriverButtonId)->hoverFace = Picture(IDP_WIDE_BUTTON_HOVER);
  DRAWITEMSTRUCT item = Item(kInstallDriverButtonId, wideButton_.Get());

  EXPECT_EQ(1, drawer_.DrawButton(&item));
  EXPECT_EQ(PictureAt(drawer_.Slot(kInstallDriverButtonId)->face.get(), 10, 20),
            canvas_.At(10, 20));
  EXPECT_GT(canvas_.Count(20, 5, 100, 30, IsWhitish), 20);

  drawer_.hoverButtonId = kInstallDriverButtonId;
  drawer_.DrawButton(&item);
  EXPECT_EQ(PictureAt(drawer_.Slot(kInstallDriverButtonId)->hoverFace.get(), 10, 20),
            canvas_.At(10, 20));
  EXPECT_NE(PictureAt(drawer_.Slot(kInstallDriverButtonId)->face.get(), 10, 20),
            canvas_.At(10, 20));

  // Hovering another button does not change this one.
  drawer_.hoverButtonId = kDetailsButtonId;
  drawer_.DrawButton(&item);
  EXPECT_EQ(PictureAt(drawer_.Slot(kInstallDriverButtonId)->face.get(), 10, 20),
            canvas_.At(10, 20));
}

// A mouse user's focused button looks as it always did; after a keyboard
// move the focused one carries a dotted frame inside its edge.
TEST_F(DrawButtonTest, FocusFrameOnlyAfterTheKeyboardWasUsed) {
  drawer_.Slot(kInstallDriverButtonId)->face = Picture(IDP_WIDE_BUTTON);
  // Each look on a fresh canvas: the picture's soft corners blend with what
  // lies below.
  auto draw = [&](UINT state, bool cues) {
    Canvas canvas(119, 36);
    DRAWITEMSTRUCT item = Item(kInstallDriverButtonId, wideButton_.Get(), state);
    item.hDC = canvas.Dc();
    item.rcItem = RECT{0, 0, 119, 36};
    drawer_.focusCues = cues;
    drawer_.DrawButton(&item);
    return canvas.Pixels();
  };
  const std::vector<DWORD> unfocused = draw(0, true);
  EXPECT_EQ(unfocused, draw(ODS_FOCUS, false));
  const std::vector<DWORD> focused = draw(ODS_FOCUS, true);
  int changedOnTheFrame = 0;
  int changedElsewhere = 0;
  for (int y = 0; y < 36; ++y) {
    for (int x = 0; x < 119; ++x) {
      const bool frame = (y == 3 || y == 32) && x >= 3 && x < 116;
      const bool changed = focused[y * 119 + x] != unfocused[y * 119 + x];
      (frame ? changedOnTheFrame : changedElsewhere) += changed ? 1 : 0;
    }
  }
  EXPECT_GT(changedOnTheFrame, 100);  // dotted: every other pixel of 2 x 113
  EXPECT_LT(changedElsewhere, 70);    // the frame's sides only
}

TEST_F(DrawButtonTest, MissingHoverFaceFallsBackToTheNormalOne) {
  drawer_.Slot(kRetryButtonId)->face = Picture(IDP_SMALL_BUTTON);
  drawer_.hoverButtonId = kRetryButtonId;
  DRAWITEMSTRUCT item = Item(kRetryButtonId, wideButton_.Get());
  drawer_.DrawButton(&item);
  EXPECT_EQ(PictureAt(drawer_.Slot(kRetryButtonId)->face.get(), 5, 20), canvas_.At(5, 20));
}

TEST_F(DrawButtonTest, ButtonWithoutPicturesOrWindowDrawsNothing) {
  const std::vector<DWORD> before = canvas_.Pixels();
  DRAWITEMSTRUCT item = Item(kCancelButtonId, wideButton_.Get());
  EXPECT_EQ(1, drawer_.DrawButton(&item));
  drawer_.Slot(kOpenPageButtonId)->face = Picture(IDP_WIDE_BUTTON);
  item = Item(kOpenPageButtonId, nullptr);
  EXPECT_EQ(1, drawer_.DrawButton(&item));
  EXPECT_EQ(before, canvas_.Pixels());
}

TEST_F(DrawButtonTest, DetailsLabelIsLinkBlueAtTheLeftBelowTheTop) {
  drawer_.Slot(kDetailsButtonId)->face = Picture(IDP_DETAILS_BUTTON);
  drawer_.Slot(kDetailsButtonId)->hoverFace = Picture(IDP_DETAILS_BUTTON);
  SizedWindow detailsButton(100, 26);
  DRAWITEMSTRUCT item = Item(kDetailsButtonId, detailsButton.Get());
  drawer_.DrawButton(&item);
  EXPECT_EQ(RGB(249, 249, 249), canvas_.At(90, 2));
  EXPECT_GT(canvas_.Count(0, 5, 40, 26, IsLinkBlue), 10);
  EXPECT_EQ(0, canvas_.Count(0, 0, 100, 5, IsLinkBlue));
  EXPECT_EQ(0, canvas_.Count(50, 0, 100, 26, IsLinkBlue));
}

std::vector<DWORD> IconPixels(HICON icon) {
  Canvas canvas(482, 273);
  DrawIconEx(canvas.Dc(), 0, 0, icon, 14, 14, 0, nullptr, DI_NORMAL);
  return canvas.Pixels();
}

TEST_F(DrawButtonTest, CloseButtonShowsItsPressedIconWhileHeldDown) {
  HMODULE module = GetModuleHandleW(nullptr);
  drawer_.Slot(kCloseButtonId)->icon = static_cast<HICON>(
      LoadImageW(module, MAKEINTRESOURCEW(IDI_CLOSE), IMAGE_ICON, 14, 14, LR_DEFAULTCOLOR));
  drawer_.Slot(kCloseButtonId)->pressedIcon = static_cast<HICON>(
      LoadImageW(module, MAKEINTRESOURCEW(IDI_CLOSE_PRESSED), IMAGE_ICON, 14, 14, LR_DEFAULTCOLOR));
  ASSERT_NE(nullptr, drawer_.Slot(kCloseButtonId)->icon);
  ASSERT_NE(nullptr, drawer_.Slot(kCloseButtonId)->pressedIcon);
  const std::vector<DWORD> normal = IconPixels(drawer_.Slot(kCloseButtonId)->icon);
  const std::vector<DWORD> pressed = IconPixels(drawer_.Slot(kCloseButtonId)->pressedIcon);
  ASSERT_NE(normal, pressed);

  DRAWITEMSTRUCT item = Item(kCloseButtonId, nullptr, ODS_SELECTED);
  drawer_.DrawButton(&item);
  EXPECT_EQ(pressed, canvas_.Pixels());
  // Hovering does not matter to icon buttons.
  drawer_.hoverButtonId = kCloseButtonId;
  item.itemState = 0;
  drawer_.DrawButton(&item);
  EXPECT_EQ(normal, canvas_.Pixels());
  // A missing pressed icon falls back to the normal one.
  drawer_.Slot(kCloseButtonId)->pressedIcon = nullptr;
  item.itemState = ODS_SELECTED;
  drawer_.DrawButton(&item);
  EXPECT_EQ(normal, canvas_.Pixels());
}

}  // namespace
