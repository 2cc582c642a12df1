#include "settings/ui_language.h"

namespace rerozadez {

bool ParseUiLanguage(const std::wstring& text, UiLanguage* language) {
  if (lstrcmpiW(text.c_str(), L"zh") == 0) {
    *language = UiLanguage::kChinese;
    return true;
  }
  if (lstrcmpiW(text.c_str(), L"en") == 0) {
    *language = UiLanguage::kEnglish;
    return true;
  }
  return false;
}

const wchar_t* UiLanguageName(UiLanguage language) {
  return language == UiLanguage::kChinese ? L"zh" : L"en";
}

UiLanguage ChooseUiLanguage(LANGID displayLanguage, const std::wstring& configured,
                            const std::wstring& switched) {
  UiLanguage chosen = UiLanguage::kEnglish;
  if (ParseUiLanguage(switched, &chosen) || ParseUiLanguage(configured, &chosen)) {
    return chosen;
  }
  // The display language, not the regional format: a user reading an English
  // Windows with Chinese number formats reads English. The primary language
  // covers the PRC, Taiwan, Hong Kong, Macao and Singapore alike.
  return PRIMARYLANGID(displayLanguage) == LANG_CHINESE ? UiLanguage::kChinese
                                                        : UiLanguage::kEnglish;
}

}  // namespace rerozadez
