#include "settings/command_line.h"

#include <gtest/gtest.h>

namespace rerozadez {
namespace {

// What a line asks for, as one comparable text.
std::wstring Summary(const CommandLine& line) {
  const wchar_t* const modes[] = {L"normal", L"passive", L"quiet"};
  return std::wstring(modes[static_cast<int>(line.mode)]) + (line.help ? L" help" : L"") +
         L" log[" + line.logPath + L"] layout[" + line.layoutFolder + L"] source[" +
         line.sourceFolder + L"] error[" + line.error + L"]";
}

TEST(CommandLine, SwitchesAsAdministratorsWriteThem) {
  const struct {
    std::vector<std::wstring> arguments;
    const wchar_t* expected;
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
  };
  for (const auto& each : cases) {
    EXPECT_EQ(each.expected, Summary(ParseCommandLine(each.arguments)));
  }
}

}  // namespace
}  // namespace rerozadez
