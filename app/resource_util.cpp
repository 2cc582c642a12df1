#include <windows.h>
// GDI+ needs the COM declarations that WIN32_LEAN_AND_MEAN leaves out.
#include <objidl.h>

#include <gdiplus.h>

#include <cstring>
#include <vector>

#include "app/resource_util.h"
#include "platform/process_instance.h"
#include "platform/scoped.h"

namespace rerozadez {
namespace {

// A bitmap decoded from a stream may keep reading that stream while it lives
// (GDI+ decodes lazily on Windows). The stream goes away right after
// decoding, so the pixels are copied into a bitmap of their own.
std::unique_ptr<Gdiplus::Bitmap> DetachedCopy(Gdiplus::Bitmap& decoded) {
  const UINT width = decoded.GetWidth();
  const UINT height = decoded.GetHeight();
  if (width == 0 || height == 0) {
    return nullptr;
  }
  std::unique_ptr<Gdiplus::Bitmap> copy(
      new Gdiplus::Bitmap(static_cast<INT>(width), static_cast<INT>(height), PixelFormat32bppARGB));
  if (copy->GetLastStatus() != Gdiplus::Ok) {
    return nullptr;
  }
  Gdiplus::Rect whole(0, 0, static_cast<INT>(width), static_cast<INT>(height));
  Gdiplus::BitmapData source = {};
  Gdiplus::BitmapData target = {};
  if (decoded.LockBits(&whole, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &source) !=
      Gdiplus::Ok) {
    return nullptr;
  }
  bool copied = false;
  if (copy->LockBits(&whole, Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB, &target) ==
      Gdiplus::Ok) {
    for (UINT row = 0; row < height; ++row) {
      std::memcpy(
          static_cast<BYTE*>(target.Scan0) + static_cast<ptrdiff_t>(row) * target.Stride,
          static_cast<const BYTE*>(source.Scan0) + static_cast<ptrdiff_t>(row) * source.Stride,
          static_cast<size_t>(width) * 4);
    }
    copy->UnlockBits(&target);
    copied = true;
  }
  decoded.UnlockBits(&source);
  return copied ? std::move(copy) : nullptr;
}

// The resource language of each string table.
LANGID TableLanguage(UiLanguage language) {
  return language == UiLanguage::kChinese ? MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED)
                                          : MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
}

// The text of id in the string table of that language. XP has no thread UI
// language to set, so LoadString cannot be pointed at a table: the block is
// looked up by its language and read here.
std::wstring TextFromTable(HMODULE module, UINT id, LANGID language) {
  HRSRC found =
      FindResourceExW(module, MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(id / 16 + 1), language);
  if (found == nullptr) {
    return std::wstring();
  }
  const DWORD size = SizeofResource(module, found);
  HGLOBAL loaded = LoadResource(module, found);
  const void* block = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (block == nullptr || size == 0) {
    return std::wstring();
  }
  return StringFromTableBlock(block, size, id);
}

}  // namespace

std::wstring StringFromTableBlock(const void* block, size_t size, UINT id) {
  const WCHAR* units = static_cast<const WCHAR*>(block);
  const size_t count = size / sizeof(WCHAR);
  size_t at = 0;
  // Skip the earlier entries by their length prefixes, never past the end.
  for (UINT entry = 0; entry < id % 16; ++entry) {
    if (at >= count) {
      return std::wstring();
    }
    at += 1 + static_cast<size_t>(units[at]);
  }
  if (at >= count) {
    return std::wstring();
  }
  const size_t length = units[at];
  if (length == 0 || length > count - at - 1) {
    return std::wstring();
  }
  std::wstring text(units + at + 1, length);
  return text.substr(0, text.find(L'\0'));
}

std::wstring ResourceUtil::LoadStringText(UINT id, UiLanguage language) const {
  HMODULE module = GetModuleHandleW(nullptr);
  const std::wstring text = TextFromTable(module, id, TableLanguage(language));
  return text.empty() && language != UiLanguage::kChinese
             ? TextFromTable(module, id, TableLanguage(UiLanguage::kChinese))
             : text;
}

std::wstring LoadTextOrEmpty(int id) {
  return id == 0 ? std::wstring() : GetResourceUtil()->LoadStringText(static_cast<UINT>(id));
}

std::unique_ptr<Gdiplus::Bitmap> ResourceUtil::LoadPngImage(UINT id, HMODULE module) const {
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
  if (found == nullptr) {
    return nullptr;
  }
  const DWORD size = SizeofResource(module, found);
  HGLOBAL loaded = LoadResource(module, found);
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes == nullptr || size == 0) {
    return nullptr;
  }

  ScopedGlobal memory(GlobalAlloc(GMEM_MOVEABLE, size));
  if (memory.Get() == nullptr) {
    return nullptr;
  }
  void* target = GlobalLock(memory.Get());
  if (target == nullptr) {
    return nullptr;
  }
  std::memcpy(target, bytes, size);
  GlobalUnlock(memory.Get());

  IStream* stream = nullptr;
  if (FAILED(CreateStreamOnHGlobal(memory.Get(), FALSE, &stream)) || stream == nullptr) {
    return nullptr;
  }
  std::unique_ptr<Gdiplus::Bitmap> result;
  {
    Gdiplus::Bitmap decoded(stream);
    if (decoded.GetLastStatus() == Gdiplus::Ok) {
      result = DetachedCopy(decoded);
    }
  }
  stream->Release();
  return result;
}

ResourceUtil* GetResourceUtil() {
  return ProcessInstance<ResourceUtil>();
}

}  // namespace rerozadez
