#pragma once

#include <string>

#include "platform/file_version.h"
#include "platform/status.h"

namespace rerozadez {

// What the full setup must say it is before it is used. A pinned signature
// proves who made a file, not which file it is: an older signed release, or
// another program of the same publisher, would pass it.
struct SetupVersionRule {
  std::wstring productName;  // the suite's; the file's must be exactly this
  std::string floor;         // a.b.c.d: no setup below it, whatever it is offered as
  std::string wanted;        // a.b.c.d the file must be; empty: nothing was offered
  const char* wantedFrom;    // whose version wanted is, for the log ("offered", "manifest")
  std::string installed;     // the installed suite's, never to be gone below; empty: none
};

// The rule for this run: the build's product name and floor, wanted from
// wantedFrom, and the installed suite's version (none for a layout, which
// is made for other PCs).
SetupVersionRule BuildSetupVersionRule(const std::string& wanted, const char* wantedFrom,
                                       bool forLayout);

// Ok when found meets rule; otherwise kStartVersion with what was found
// against what was wanted ("file version 1.0.0.1, offered 3.2.0.150").
Status JudgeSetupVersion(const FileVersion& found, const SetupVersionRule& rule);

// Reads the version resource of the file at path (held by the caller, so it
// cannot change) and judges it; logs what passed, and gives its version
// ("a.b.c.d"). A file without one is kStartVersion with version.dll's code
// and "no version resource".
Status CheckSetupVersion(const std::wstring& path, const SetupVersionRule& rule,
                         std::string* version);

}  // namespace rerozadez
