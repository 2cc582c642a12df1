#pragma once

#include <string>
#include <vector>

namespace rerozadez {

// How much of the program a run shows and waits for.
enum class RunMode {
  kNormal,   // the window waits for the user's click
  kPassive,  // the window shows the run, which starts at once and needs no input
  kQuiet,    // no window at all; the run starts at once
};

// The switches an administrator gives, "/" or "-", any letter case.
struct CommandLine {
  RunMode mode = RunMode::kNormal;
  bool help = false;          // "/?" or "/help": list the switches, start nothing
  std::wstring logPath;       // "/log <file>"
  std::wstring layoutFolder;  // "/layout <folder>"
  std::wstring sourceFolder;  // "/source <folder>"
  std::wstring language;      // "/lang zh|en", as given; empty without the switch
  // Empty when the line is sound; else the unknown switch, the switch whose
  // path or language is missing, "/lang <value>" for a language not carried,
  // or "/log <a path too long>" for a path of MAX_PATH characters or more.
  // Nothing is started then.
  std::wstring error;
};

// The arguments after the program's own name, already split as Windows
// splits them (quotes removed). "/quiet" wins over "/passive" whatever
// their order; a path switch given twice keeps the last path. A line with
// errors is read to its end and keeps the first; with "/quiet" anywhere on
// it, even as a missing value, its mode is kQuiet.
CommandLine ParseCommandLine(const std::vector<std::wstring>& arguments);

// This process's command line, split by CommandLineToArgvW and parsed.
CommandLine ReadProgramCommandLine();

// The switches as the help message lists them.
std::wstring CommandLineHelpText();

}  // namespace rerozadez
