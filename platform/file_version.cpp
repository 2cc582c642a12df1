#include "platform/file_version.h"

#include "platform/text_encoding.h"

namespace rerozadez {
namespace {

// "\\StringFileInfo\\<language><code page>\\<name>" for the block's first
// translation; US English in Unicode when the block lists none.
std::wstring StringQuery(const std::vector<BYTE>& block, const wchar_t* name) {
  WORD language = 0x0409;
  WORD codePage = 0x04b0;
  void* value = nullptr;
  UINT length = 0;
  if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &length) &&
      value != nullptr && length >= 2 * sizeof(WORD)) {
    language = static_cast<const WORD*>(value)[0];
    codePage = static_cast<const WORD*>(value)[1];
  }
  const wchar_t kHex[] = L"0123456789abcdef";
  std::wstring query = L"\\StringFileInfo\\";
  const DWORD both = (static_cast<DWORD>(language) << 16) | codePage;
  for (int shift = 28; shift >= 0; shift -= 4) {
    query += kHex[(both >> shift) & 0xf];
  }
  return query + L"\\" + name;
}

}  // namespace

DWORD ReadVersionBlock(const std::wstring& path, std::vector<BYTE>* block) {
  block->clear();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) {
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_RESOURCE_TYPE_NOT_FOUND;
  }
  block->resize(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, block->data())) {
    const DWORD error = GetLastError();
    block->clear();
    return error != ERROR_SUCCESS ? error : ERROR_RESOURCE_DATA_NOT_FOUND;
  }
  return ERROR_SUCCESS;
}

std::wstring VersionBlockText(const std::vector<BYTE>& block, const wchar_t* query) {
  void* value = nullptr;
  UINT length = 0;
  if (block.empty() || !VerQueryValueW(block.data(), query, &value, &length) || value == nullptr ||
      length == 0) {
    return std::wstring();
  }
  // The length counts characters and may include the terminator.
  const std::wstring text(static_cast<const wchar_t*>(value), length);
  return text.substr(0, text.find(L'\0'));
}

DWORD ReadFileVersion(const std::wstring& path, FileVersion* version) {
  *version = FileVersion();
  std::vector<BYTE> block;
  const DWORD read = ReadVersionBlock(path, &block);
  if (read != ERROR_SUCCESS) {
    return read;
  }
  version->productName = VersionBlockText(block, StringQuery(block, L"ProductName").c_str());
  void* value = nullptr;
  UINT length = 0;
  if (VerQueryValueW(block.data(), L"\\", &value, &length) && value != nullptr &&
      length >= sizeof(VS_FIXEDFILEINFO)) {
    const VS_FIXEDFILEINFO* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    if (fixed->dwSignature == 0xFEEF04BD) {
      version->numbers[0] = HIWORD(fixed->dwFileVersionMS);
      version->numbers[1] = LOWORD(fixed->dwFileVersionMS);
      version->numbers[2] = HIWORD(fixed->dwFileVersionLS);
      version->numbers[3] = LOWORD(fixed->dwFileVersionLS);
    }
  }
  return ERROR_SUCCESS;
}

std::string FormatFileVersion(const WORD numbers[4]) {
  std::wstring text;
  for (int i = 0; i < 4; ++i) {
    text += (i > 0 ? L"." : L"") + DecimalText(numbers[i]);
  }
  return std::string(text.begin(), text.end());  // digits and full stops only
}

}  // namespace rerozadez
