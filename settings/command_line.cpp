#include "settings/command_line.h"

#include <windows.h>

#include <shellapi.h>

#include "settings/ui_language.h"

namespace rerozadez {
namespace {

// The switch's name without its "/" or "-", in lower case; empty when the
// argument is not a switch.
std::wstring SwitchName(const std::wstring& argument) {
  if (argument.size() < 2 || (argument[0] != L'/' && argument[0] != L'-')) {
    return std::wstring();
  }
  std::wstring name = argument.substr(1);
  for (wchar_t& letter : name) {
    letter = static_cast<wchar_t>(towlower(letter));
  }
  return name;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::wstring>& arguments) {
  CommandLine line;
  // The whole line is read even after an error, which keeps the first: a
  // /quiet after it must still keep the refusal silent, as nobody is there
  // to click a message away.
  auto refuse = [&line](const std::wstring& what) {
    if (line.error.empty()) {
      line.error = what;
    }
  };
  for (size_t index = 0; index < arguments.size(); ++index) {
    const std::wstring name = SwitchName(arguments[index]);
    std::wstring* path = name == L"log"      ? &line.logPath
                         : name == L"layout" ? &line.layoutFolder
                         : name == L"source" ? &line.sourceFolder
                         : name == L"lang"   ? &line.language
                                             : nullptr;
    if (path != nullptr) {
      // A path (or language) is whatever follows, unless it is missing or
      // empty; a path may well start with "-".
      if (index + 1 == arguments.size() || arguments[index + 1].empty()) {
        refuse(arguments[index]);
      } else {
        *path = arguments[++index];
        UiLanguage known = UiLanguage::kChinese;
        if (path == &line.language && !ParseUiLanguage(line.language, &known)) {
          // A language the program does not carry is refused like a missing
          // path: the administrator asked for something it cannot give.
          refuse(arguments[index - 1] + L" " + line.language);
        } else if (path != &line.language && path->size() >= MAX_PATH) {
          // Windows' file functions take no longer path (on XP not at all).
          refuse(arguments[index - 1] + L" <a path too long>");
        }
      }
    } else if (name == L"quiet") {
      line.mode = RunMode::kQuiet;
    } else if (name == L"passive") {
      line.mode = line.mode == RunMode::kQuiet ? RunMode::kQuiet : RunMode::kPassive;
    } else if (name == L"?" || name == L"help") {
      line.help = true;
    } else {
      refuse(arguments[index]);
    }
  }
  // Silent too where /quiet was taken for a missing value ("/lang /quiet").
  for (size_t index = 0; index < arguments.size() && !line.error.empty(); ++index) {
    if (SwitchName(arguments[index]) == L"quiet") {
      line.mode = RunMode::kQuiet;
    }
  }
  return line;
}

CommandLine ReadProgramCommandLine() {
  int count = 0;
  LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::wstring> arguments;
  for (int index = 1; words != nullptr && index < count; ++index) {
    arguments.push_back(words[index]);
  }
  if (words != nullptr) {
    LocalFree(words);
  }
  return ParseCommandLine(arguments);
}

std::wstring CommandLineHelpText() {
  return L"QuillnestMini.exe [/quiet | /passive] [/log <file>] [/layout <folder>] "
         L"[/source <folder>] [/lang zh|en]\n\n"
         L"/quiet\tno window; the run starts at once and asks nothing\n"
         L"/passive\tthe window shows the run, which starts at once and closes by itself\n"
         L"/log <file>\tthe log goes to this file, appended\n"
         L"/layout <folder>\tfetch and verify the setup, copy it into the folder, start nothing\n"
         L"/source <folder>\ttry the setup that /layout left in this folder (or share) first\n"
         L"/lang zh|en\tthe window's language, whatever the system's\n"
         L"/?\tthis list\n\n"
         L"Exit codes: 0 done, 1602 closed, 1603 failed, 1618 another copy runs, 87 bad switch, "
         L"2201-2207 the failure's kind, else the setup's own code.";
}

}  // namespace rerozadez
