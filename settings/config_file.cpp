#include "settings/config_file.h"

#include <windows.h>

#include <cwchar>

#include "platform/text_encoding.h"

namespace rerozadez {
namespace {

const wchar_t kTrimSet[] = L"\t\n\r ";

}  // namespace

std::wstring DecodeConfigText(const std::string& bytes) {
  if (!bytes.empty() && bytes[0] != '\0') {
    // std::string keeps the bytes after a zero; the ANSI reading stops there.
    return MultiByteToWide(CP_ACP, bytes.c_str());
  }
  std::wstring text;
  for (size_t i = 0; i < bytes.size(); i += 2) {
    unsigned low = static_cast<unsigned char>(bytes[i]);
    unsigned high = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0;
    wchar_t unit = static_cast<wchar_t>(low | (high << 8));
    if (unit == L'\0') {
      break;
    }
    text.push_back(unit);
  }
  return text;
}

std::wstring GetConfigValue(const std::wstring& text, const std::wstring& key) {
  size_t keyAt = text.find(key);
  if (keyAt == std::wstring::npos) {
    return std::wstring();
  }
  size_t lineEnd = text.find(L'\n', keyAt);
  size_t equals = text.find(L'=', keyAt);
  // An "=" past the line end belongs to a later line: the key's own line has
  // no value, and the value must not run on into the rest of the file.
  if (lineEnd == std::wstring::npos || equals == std::wstring::npos || equals > lineEnd) {
    return std::wstring();
  }
  std::wstring value = text.substr(equals + 1, lineEnd - equals - 1);
  size_t first = value.find_first_not_of(kTrimSet);
  if (first == std::wstring::npos) {
    return std::wstring();
  }
  size_t last = value.find_last_not_of(kTrimSet);
  return value.substr(first, last - first + 1);
}

bool ReadConfigFlag(const std::wstring& text) {
  // wcstol saturates on overflow, so no long digit string wraps round to 1.
  return wcstol(text.c_str(), nullptr, 10) == 1;
}

bool ReadConfigSwitch(const std::wstring& text) {
  wchar_t* end = nullptr;
  long value = wcstol(text.c_str(), &end, 10);
  return end == text.c_str() || value != 0;
}

}  // namespace rerozadez
