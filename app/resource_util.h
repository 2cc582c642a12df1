#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "settings/ui_language.h"

namespace Gdiplus {
class Bitmap;
}

namespace rerozadez {

// Loads texts and pictures from the executable's resources. Its one state
// is the language texts are loaded in, set at start-up before any window.
class ResourceUtil {
 public:
  // The language of every later LoadStringText(id); Chinese until set.
  void SetLanguage(UiLanguage language) { language_ = language; }
  UiLanguage Language() const { return language_; }

  // The string-table text with that id in the chosen language from the
  // running executable, cut at its first null; empty when there is none.
  std::wstring LoadStringText(UINT id) const { return LoadStringText(id, language_); }
  // The same in the given language. A text the English table lacks is the
  // Chinese one.
  std::wstring LoadStringText(UINT id, UiLanguage language) const;

  // The "PNG" resource with that integer id in module, decoded into a bitmap
  // that owns its pixels; null when the resource is missing, empty or not a
  // picture. GDI+ must be running.
  std::unique_ptr<Gdiplus::Bitmap> LoadPngImage(UINT id, HMODULE module) const;

 private:
  UiLanguage language_ = UiLanguage::kChinese;
};

// The one ResourceUtil, created on first use and never destroyed.
ResourceUtil* GetResourceUtil();

// The string-table text with that id in the chosen language; empty for
// id 0, which stands for "no text" wherever a text id is chosen.
std::wstring LoadTextOrEmpty(int id);

// The text of entry id from the bytes of its string-table block (16 entries,
// each a 16-bit length and that many UTF-16 units), cut at its first null.
// Empty when the entry is empty or the block ends before it.
std::wstring StringFromTableBlock(const void* block, size_t size, UINT id);

}  // namespace rerozadez
