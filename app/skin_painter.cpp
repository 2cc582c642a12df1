// Painting of the skinned window and its owner-drawn buttons.
#include <windows.h>
#include <objidl.h>

#include <gdiplus.h>

#include "app/skin_painter.h"

#include "app/resource_util.h"
#include "app/skin_layout.h"
#include "platform/scoped.h"
#include "settings/sys_util.h"

namespace rerozadezGUI {
namespace {

// A font of the window's family, selected into a device context for one
// run of drawing; the previous font is selected back before it is deleted.
class FontSelection {
 public:
  FontSelection(HDC dc, int height)
      : dc_(dc),
        font_(CreateFontW(-height, 0, 0, 0, 10, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0,
                          L"Microsoft YaHei")),
        previous_(font_.IsValid() ? SelectObject(dc_, font_.Get()) : nullptr) {}
  ~FontSelection() {
    if (font_.IsValid()) {
      SelectObject(dc_, previous_);
    }
  }
  FontSelection(const FontSelection&) = delete;
  FontSelection& operator=(const FontSelection&) = delete;

 private:
  HDC dc_;
  rerozadez::ScopedGdiObject font_;
  HGDIOBJ previous_;
};

// Draws a picture at (0, 0) in width × height: as it is at its own size,
// else resampled smoothly (on a screen above 96 DPI).
void DrawPicture(HDC dc, Gdiplus::Image* picture, int width, int height) {
  Gdiplus::Graphics graphics(dc);
  const INT pictureWidth = static_cast<INT>(picture->GetWidth());
  const INT pictureHeight = static_cast<INT>(picture->GetHeight());
  if (width == pictureWidth && height == pictureHeight) {
    graphics.DrawImage(picture, 0, 0, pictureWidth, pictureHeight);
    return;
  }
  graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
  graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
  // Without this the filter reads transparent pixels beyond the edges and
  // the border of the picture fades.
  Gdiplus::ImageAttributes edges;
  edges.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
  graphics.DrawImage(picture, Gdiplus::Rect(0, 0, width, height), 0, 0, pictureWidth, pictureHeight,
                     Gdiplus::UnitPixel, &edges);
}

void DrawLine(HDC dc, const std::wstring& text, RECT rect, UINT alignment) {
  if (text.empty()) {
    return;
  }
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect,
            alignment | DT_TOP | DT_SINGLELINE);
}

// The dotted focus rectangle, inset from the button's edges, when the
// keyboard put the focus there.
void DrawFocus(const DRAWITEMSTRUCT* item, bool focusCues, int inset) {
  if (!ShowsFocus(item->itemState, focusCues)) {
    return;
  }
  RECT rect = item->rcItem;
  InflateRect(&rect, -inset, -inset);
  DrawFocusRect(item->hDC, &rect);
}

}  // namespace

CQuillWndHelperDrawer::CQuillWndHelperDrawer()
    : mainWindow(nullptr),
      progressBar(nullptr),
      statusLine(nullptr),
      standardButtonProc(nullptr),
      screenState(ScreenMain),
      hoverButtonId(0),
      focusCues(false),
      dpi(kBaseDpi),
      gdiplusToken(0) {}

CQuillWndHelperDrawer::~CQuillWndHelperDrawer() {}

ButtonSlot* CQuillWndHelperDrawer::Slot(int controlId) {
  const ButtonEntry* entry = FindButton(controlId);
  return entry != nullptr ? &buttons[entry - kButtons] : nullptr;
}

HWND CQuillWndHelperDrawer::Button(int controlId) const {
  const ButtonEntry* entry = FindButton(controlId);
  return entry != nullptr ? buttons[entry - kButtons].window : nullptr;
}

const std::wstring* CQuillWndHelperDrawer::TextOf(TextSlot slot, bool xpNote) const {
  switch (slot) {
    case TextSlot::kStatus:
      return &texts.status;
    case TextSlot::kCaption:
      return &texts.caption;
    case TextSlot::kHint:
      return &texts.hint;
    case TextSlot::kError:
      return &texts.error;
    case TextSlot::kXpNote:
      return xpNote ? &texts.xpNote : nullptr;
    case TextSlot::kDetail0:
      return &texts.details[0];
    case TextSlot::kDetail1:
      return &texts.details[1];
    case TextSlot::kDetail2:
      return &texts.details[2];
    case TextSlot::kDetail3:
      return &texts.details[3];
    case TextSlot::kFailure:
      return &texts.failure;
    case TextSlot::kHeading:
      return &texts.heading;
  }
  return nullptr;
}

void CQuillWndHelperDrawer::Paint(HDC dc, HWND window) {
  RECT client = {};
  GetClientRect(window, &client);
  const int width = client.right - client.left;
  const int height = client.bottom - client.top;

  if (backgroundImage) {
    DrawPicture(dc, backgroundImage.get(),
                Scaled(static_cast<int>(backgroundImage->GetWidth()), dpi),
                Scaled(static_cast<int>(backgroundImage->GetHeight()), dpi));
  }

  const ScreenTexts screen = TextsForScreen(screenState);
  if (screen.changes) {
    texts.heading = rerozadez::LoadTextOrEmpty(screen.heading);
    texts.hint = rerozadez::LoadTextOrEmpty(screen.hint);
    for (int i = 0; i < 4; ++i) {
      texts.details[i] = rerozadez::LoadTextOrEmpty(screen.details[i]);
    }
    if (screen.clearCaption) {
      texts.caption.clear();
    }
  }
  const bool xpNote = ShowsXpNote(screenState, rerozadez::GetSysUtil()->IsXpOrEarlier());

  TextRow rows[kTextRowCount];
  PaintRows(width, height, rows, dpi);
  SetBkMode(dc, TRANSPARENT);
  // One font per size run: 14 px for the first two rows, 12 px for the
  // next eight, 24 px for the heading.
  int row = 0;
  while (row < kTextRowCount) {
    const int fontHeight = rows[row].fontHeight;
    FontSelection font(dc, fontHeight);
    for (; row < kTextRowCount && rows[row].fontHeight == fontHeight; ++row) {
      const std::wstring* text = TextOf(rows[row].slot, xpNote);
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
  const ButtonEntry* entry = FindButton(id);
  ButtonSlot* slot = Slot(id);
  if (entry == nullptr || slot == nullptr) {
    return 1;
  }
  if (entry->iconFace) {
    const bool pressed = (item->itemState & ODS_SELECTED) != 0;
    HICON icon = ChooseFace(pressed, slot->icon, slot->pressedIcon);
    const int size = Scaled(entry->width, dpi);
    if (icon != nullptr && size == entry->width) {
      DrawIconEx(item->hDC, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    } else if (icon != nullptr) {
      // The glyphs are opaque on the panel colour: scaled as a picture.
      Gdiplus::Bitmap picture(icon);
      DrawPicture(item->hDC, &picture, size, size);
    }
    DrawFocus(item, focusCues, 0);
    return 1;
  }

  Gdiplus::Bitmap* picture =
      ChooseFace(hoverButtonId == id, slot->face.get(), slot->hoverFace.get());
  if (picture == nullptr || item->hwndItem == nullptr) {
    return 1;
  }
  RECT rect = {};
  GetClientRect(item->hwndItem, &rect);
  DrawPicture(item->hDC, picture, Scaled(static_cast<int>(picture->GetWidth()), dpi),
              Scaled(static_cast<int>(picture->GetHeight()), dpi));

  FontSelection font(item->hDC, Scaled(kLabelFontHeight, dpi));
  SetTextColor(item->hDC, entry->labelColour);
  SetBkMode(item->hDC, TRANSPARENT);
  rect.top += Scaled(kLabelTop, dpi);
  DrawLine(item->hDC, rerozadez::LoadTextOrEmpty(entry->label), rect,
           entry->labelCentred ? DT_CENTER : DT_LEFT);
  DrawFocus(item, focusCues, Scaled(3, dpi));
  return 1;
}

}  // namespace rerozadezGUI
