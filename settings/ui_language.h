#pragma once

#include <windows.h>

#include <string>

namespace rerozadez {

// The language of the window's texts. The program carries one string table
// for each.
enum class UiLanguage { kChinese, kEnglish };

// Reads "zh" or "en" in any letter case into language; false for any other
// text, which leaves language as it was.
bool ParseUiLanguage(const std::wstring& text, UiLanguage* language);

// "zh" or "en".
const wchar_t* UiLanguageName(UiLanguage language);

// The window's language: the switch's ("/lang"), else the configured one
// ("Language" in SetupConfig.txt), else Chinese when the user's display
// language (GetUserDefaultUILanguage) is any Chinese and English for every
// other. A text that names no language counts as not given.
UiLanguage ChooseUiLanguage(LANGID displayLanguage, const std::wstring& configured,
                            const std::wstring& switched);

}  // namespace rerozadez
