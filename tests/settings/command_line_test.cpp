#include "settings/command_line.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "settings/ui_language.h"

namespace rerozadez {
namespace {

// What a line asks for, as one comparable text.
std::wstring Summary(const CommandLine& line) {
  const wchar_t* const modes[] = {L"normal", L"passive", L"quiet"};
  return std::wstring(modes[static_cast<int>(line.mode)]) + (line.help ? L" help" : L"") +
         L" log[" + line.logPath + L"] layout[" + line.layoutFolder + L"] source[" +
         line.sourceFolder + L"]" +
         (line.language.empty() ? L"" : L" lang[" + line.language + L"]") + L" error[" +
         line.error + L"]";
}

TEST(CommandLine, SwitchesAsAdministratorsWriteThem) {
  const struct {
    std::vector<std::wstring> arguments;
    std::wstring expected;
  } cases[] = {
      {{}, L"normal log[] layout[] source[] error[]"},
      {{L"/QUIET"}, L"quiet log[] layout[] source[] error[]"},
      {{L"-passive", L"/quiet"}, L"quiet log[] layout[] source[] error[]"},
      {{L"/quiet", L"/Passive"}, L"quiet log[] layout[] source[] error[]"},
      {{L"/log", L"C:\\my logs\\a.log", L"/layout", L"\\\\srv\\share\\suite"},
       L"normal log[C:\\my logs\\a.log] layout[\\\\srv\\share\\suite] source[] error[]"},
      {{L"/source", L"-dir", L"/source", L"D:\\x"}, L"normal log[] layout[] source[D:\\x] error[]"},
      {{L"/?"}, L"normal help log[] layout[] source[] error[]"},
      {{L"-HELP"}, L"normal help log[] layout[] source[] error[]"},
      {{L"/quiet", L"/S"}, L"quiet log[] layout[] source[] error[/S]"},
      {{L"setup.exe"}, L"normal log[] layout[] source[] error[setup.exe]"},
      {{L"/"}, L"normal log[] layout[] source[] error[/]"},
      {{L"/log"}, L"normal log[] layout[] source[] error[/log]"},
      {{L"/layout", L""}, L"normal log[] layout[] source[] error[/layout]"},
      {{L"/lang", L"en", L"/quiet"}, L"quiet log[] layout[] source[] lang[en] error[]"},
      {{L"-LANG", L"ZH"}, L"normal log[] layout[] source[] lang[ZH] error[]"},
      {{L"/lang"}, L"normal log[] layout[] source[] error[/lang]"},
      {{L"/lang", L"fr"}, L"normal log[] layout[] source[] lang[fr] error[/lang fr]"},
      {{L"/lang", L"/quiet"}, L"quiet log[] layout[] source[] lang[/quiet] error[/lang /quiet]"},
      // An error before /quiet: the line is read on, the first error kept.
      {{L"/bogus", L"-Quiet"}, L"quiet log[] layout[] source[] error[/bogus]"},
      {{L"/lang", L"fr", L"/log", L"/quiet"},
       L"quiet log[/quiet] layout[] source[] lang[fr] error[/lang fr]"},
      {{L"x", L"/log"}, L"normal log[] layout[] source[] error[x]"},
      {{L"/layout", std::wstring(MAX_PATH, L'd')},
       L"normal log[] layout[" + std::wstring(MAX_PATH, L'd') +
           L"] source[] error[/layout <a path too long>]"},
  };
  for (const auto& each : cases) {
    EXPECT_EQ(each.expected, Summary(ParseCommandLine(each.arguments)));
  }
}

// The switch, else the configuration, else the user's display language.
TEST(ChooseUiLanguage, SwitchThenConfigurationThenDisplayLanguage) {
  const UiLanguage zh = UiLanguage::kChinese;
  const UiLanguage en = UiLanguage::kEnglish;
  const struct {
    LANGID display;
    const wchar_t* configured;
    const wchar_t* switched;
    UiLanguage expected;
  } cases[] = {
      {0x0804, L"", L"", zh},      // Chinese (PRC)
      {0x0404, L"", L"", zh},      // Chinese (Taiwan)
      {0x1004, L"", L"", zh},      // Chinese (Singapore)
      {0x0409, L"", L"", en},      // English (US)
      {0x0407, L"", L"", en},      // German
      {0x0409, L"zh", L"", zh},    // the configuration over the display
      {0x0804, L"EN", L"", en},    //   in any letter case
      {0x0804, L"fr", L"", zh},    // a language not carried counts as none
      {0x0409, L"zh", L"en", en},  // the switch over both
      {0x0804, L"en", L"zh", zh},
  };
  for (const auto& each : cases) {
    EXPECT_EQ(each.expected, ChooseUiLanguage(each.display, each.configured, each.switched))
        << std::hex << each.display << " [" << each.configured << "] [" << each.switched << "]";
  }
}

}  // namespace
}  // namespace rerozadez
