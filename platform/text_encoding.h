#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace rerozadez {

// Text in codePage (CP_ACP, CP_UTF8, ...) to UTF-16, up to the first null.
// A null pointer or a failed conversion gives an empty string.
std::wstring MultiByteToWide(UINT codePage, const char* text);

// UTF-16 to codePage, up to the first null. Characters the code page lacks
// become its default character; a failed conversion gives an empty string.
std::string WideToMultiByte(UINT codePage, const wchar_t* text);

// UTF-16 to UTF-8 and back, up to the first null; empty on failure.
std::string WideToUtf8(const wchar_t* text);
std::wstring Utf8ToWide(const char* text);

// A number's decimal digits. std::to_wstring would bring MinGW's whole
// printf (some 20 KB) into the program for this.
std::wstring DecimalText(uint64_t value);

}  // namespace rerozadez
