// Painting of the skinned window and its owner-drawn buttons.
#include <windows.h>
#include <objidl.h>

#include <gdiplus.h>

#include "app/skin_layout.h"
#include "app/wnd_helper.h"
#include "settings/resource_util.h"
#include "settings/sys_util.h"

namespace rerozadezGUI {
namespace {

// A font of the window's family, made for one paint and deleted after the
// previous font is selected back.
class ScopedFont {
 public:
  ScopedFont(HDC dc, int height) : dc_(dc) {
    font_ = CreateFontW(-height, 0, 0, 0, 10, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0,
                        L"Microsoft YaHei");
    previous_ = font_ != nullptr ? SelectObject(dc_, font_) : nullptr;
  }
  ~ScopedFont() {
    if (font_ != nullptr) {
      SelectObject(dc_, previous_);
      DeleteObject(font_);
    }
  }
  ScopedFont(const ScopedFont&) = delete;
  ScopedFont& operator=(const ScopedFont&) = delete;

 private:
  HDC dc_;
  HFONT font_;
  HGDIOBJ previous_;
};

void DrawPicture(HDC dc, Gdiplus::Bitmap* picture) {
  Gdiplus::Graphics graphics(dc);
  graphics.DrawImage(picture, 0, 0, static_cast<INT>(picture->GetWidth()),
                     static_cast<INT>(picture->GetHeight()));
}

void DrawLine(HDC dc, const std::wstring& text, RECT rect, UINT alignment) {
  if (text.empty()) {
    return;
  }
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect,
            alignment | DT_TOP | DT_SINGLELINE);
}

std::wstring TextOrEmpty(int id) {
  return id == 0 ? std::wstring() : rerozadez::GetResourceUtil()->LoadStringText(id);
}

}  // namespace

CQuillWndHelperDrawer::CQuillWndHelperDrawer()
    : gdiplusToken(0),
      screenState(ScreenMain),
      closeButton(nullptr),
      minimizeButton(nullptr),
      retryButton(nullptr),
      installDriverButton(nullptr),
      cancelButton(nullptr),
      openPageButton(nullptr),
      backButton(nullptr),
      detailsButton(nullptr),
      progressBar(nullptr),
      mainWindow(nullptr),
      hoverButtonId(0),
      standardButtonProc(nullptr),
      minimizeIcon(nullptr),
      minimizePressedIcon(nullptr),
      closeIcon(nullptr),
      closePressedIcon(nullptr),
      instance(nullptr) {}

CQuillWndHelperDrawer::~CQuillWndHelperDrawer() {}

void CQuillWndHelperDrawer::Paint(HDC dc, HWND window) {
  RECT client = {};
  GetClientRect(window, &client);
  const int width = client.right - client.left;
  const int height = client.bottom - client.top;

  if (backgroundImage) {
    DrawPicture(dc, backgroundImage.get());
  }

  const ScreenTexts screen = TextsForScreen(screenState);
  if (screen.changes) {
    headingText = TextOrEmpty(screen.heading);
    hintText = TextOrEmpty(screen.hint);
    for (int i = 0; i < 4; ++i) {
      detailLines[i] = TextOrEmpty(screen.details[i]);
    }
    if (screen.clearCaption) {
      captionText.clear();
    }
  }
  const bool xpNote = ShowsXpNote(screenState, rerozadez::GetSysUtil()->IsXpOrEarlier());

  TextRow rows[kTextRowCount];
  PaintRows(width, height, rows);
  SetBkMode(dc, TRANSPARENT);
  // One font per size run: 14 px for the first two rows, 12 px for the
  // next seven, 24 px for the heading.
  int row = 0;
  while (row < kTextRowCount) {
    const int fontHeight = rows[row].fontHeight;
    ScopedFont font(dc, fontHeight);
    for (; row < kTextRowCount && rows[row].fontHeight == fontHeight; ++row) {
      const std::wstring* text = nullptr;
      switch (rows[row].slot) {
        case TextSlot::kStatus:
          text = &statusText;
          break;
        case TextSlot::kCaption:
          text = &captionText;
          break;
        case TextSlot::kHint:
          text = &hintText;
          break;
        case TextSlot::kError:
          text = &errorText;
          break;
        case TextSlot::kXpNote:
          text = xpNote ? &xpHintText : nullptr;
          break;
        case TextSlot::kDetail0:
          text = &detailLines[0];
          break;
        case TextSlot::kDetail1:
          text = &detailLines[1];
          break;
        case TextSlot::kDetail2:
          text = &detailLines[2];
          break;
        case TextSlot::kDetail3:
          text = &detailLines[3];
          break;
        case TextSlot::kHeading:
          text = &headingText;
          break;
      }
      if (text != nullptr) {
        SetTextColor(dc, rows[row].colour);
        RECT rect = {rows[row].left, rows[row].top, width, height};
        DrawLine(dc, *text, rect, DT_LEFT);
      }
    }
  }
}

int CQuillWndHelperDrawer::DrawButton(const DRAWITEMSTRUCT* item) {
  if (item == nullptr) {
    return 1;
  }
  const int id = static_cast<int>(item->CtlID);
  if (id == kMinimizeButtonId || id == kCloseButtonId) {
    const bool pressed = (item->itemState & ODS_SELECTED) != 0;
    HICON icon = id == kMinimizeButtonId ? ChooseFace(pressed, minimizeIcon, minimizePressedIcon)
                                         : ChooseFace(pressed, closeIcon, closePressedIcon);
    if (icon != nullptr) {
      DrawIconEx(item->hDC, 0, 0, icon, 14, 14, 0, nullptr, DI_NORMAL);
    }
    return 1;
  }

  ButtonLabel label;
  if (!LabelForButton(id, &label)) {
    return 1;
  }
  Gdiplus::Bitmap* normal = nullptr;
  Gdiplus::Bitmap* hover = nullptr;
  switch (id) {
    case kInstallDriverButtonId:
      normal = installImage.get();
      hover = installHoverImage.get();
      break;
    case kRetryButtonId:
      normal = retryImage.get();
      hover = retryHoverImage.get();
      break;
    case kCancelButtonId:
      normal = cancelImage.get();
      hover = cancelHoverImage.get();
      break;
    case kBackButtonId:
      normal = backImage.get();
      hover = backHoverImage.get();
      break;
    case kOpenPageButtonId:
      normal = openPageImage.get();
      hover = openPageHoverImage.get();
      break;
    case kDetailsButtonId:
      normal = detailsImage.get();
      hover = detailsHoverImage.get();
      break;
  }
  Gdiplus::Bitmap* picture = ChooseFace(hoverButtonId == id, normal, hover);
  if (picture == nullptr || item->hwndItem == nullptr) {
    return 1;
  }
  DrawPicture(item->hDC, picture);

  ScopedFont font(item->hDC, 16);
  SetTextColor(item->hDC, label.colour);
  SetBkMode(item->hDC, TRANSPARENT);
  RECT rect = {};
  GetClientRect(item->hwndItem, &rect);
  rect.top += 5;
  DrawLine(item->hDC, rerozadez::GetResourceUtil()->LoadStringText(label.textId), rect,
           label.centred ? DT_CENTER : DT_LEFT);
  return 1;
}

}  // namespace rerozadezGUI
