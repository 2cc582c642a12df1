#include "platform/text_encoding.h"

namespace rerozadez {

std::wstring MultiByteToWide(UINT codePage, const char* text) {
  if (text == nullptr) {
    return std::wstring();
  }
  // UTF-8 takes no flags; the ANSI code pages compose accented letters.
  const DWORD flags = codePage == CP_UTF8 ? 0 : MB_PRECOMPOSED;
  int length = MultiByteToWideChar(codePage, flags, text, -1, nullptr, 0);
  if (length <= 0) {
    return std::wstring();
  }
  std::wstring result(static_cast<size_t>(length), L'\0');
  if (MultiByteToWideChar(codePage, flags, text, -1, &result[0], length) == 0) {
    return std::wstring();
  }
  result.resize(static_cast<size_t>(length) - 1);  // the counted terminator
  return result;
}

std::string WideToMultiByte(UINT codePage, const wchar_t* text) {
  if (text == nullptr) {
    return std::string();
  }
  int length = WideCharToMultiByte(codePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (length <= 0) {
    return std::string();
  }
  std::string result(static_cast<size_t>(length), '\0');
  if (WideCharToMultiByte(codePage, 0, text, -1, &result[0], length, nullptr, nullptr) == 0) {
    return std::string();
  }
  result.resize(static_cast<size_t>(length) - 1);
  return result;
}

std::wstring Utf8ToWide(const char* text) {
  return MultiByteToWide(CP_UTF8, text);
}

std::string WideToUtf8(const wchar_t* text) {
  return WideToMultiByte(CP_UTF8, text);
}

std::wstring DecimalText(uint64_t value) {
  wchar_t digits[24];
  size_t at = sizeof(digits) / sizeof(digits[0]);
  do {
    digits[--at] = static_cast<wchar_t>(L'0' + value % 10);
    value /= 10;
  } while (value != 0);
  return std::wstring(digits + at, digits + sizeof(digits) / sizeof(digits[0]));
}

}  // namespace rerozadez
