#include <windows.h>

#include "settings/sys_util.h"

namespace rerozadez {
namespace {

std::wstring MultiByteToWide(UINT codePage, DWORD flags, const char* text) {
  if (text == nullptr) {
    return std::wstring();
  }
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

}  // namespace

std::wstring SysUtil::AnsiToWide(const char* text) const {
  return MultiByteToWide(CP_ACP, MB_PRECOMPOSED, text);
}

std::string SysUtil::WideToAnsi(const wchar_t* text) const {
  return WideToMultiByte(CP_ACP, text);
}

std::wstring Utf8ToWide(const char* text) {
  return MultiByteToWide(CP_UTF8, 0, text);
}

std::string WideToUtf8(const wchar_t* text) {
  return WideToMultiByte(CP_UTF8, text);
}

}  // namespace rerozadez
