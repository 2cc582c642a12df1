#pragma once

#include <string>

namespace rerozadez {

// Reads "a.b.c.d" into four numbers; false when fewer than three full stops.
// Numbers already read stay in their outputs.
bool ParseVersion(std::string text, int& major, int& minor, int& patch, int& build);

// 1 when the offered version should be installed over the installed one, 0
// when they are the same, -1 otherwise or when either does not parse. Only
// the build numbers count; an installed build above 2,011,000,000 is older
// than any offered build below 1,000,000,000.
int CompareVersion(std::string offered, std::string installed);

// True when the installed suite is known to be current: both versions parse
// and CompareVersion finds nothing to install. A version that does not parse
// leaves that unknown.
bool IsInstalledSuiteCurrent(const std::string& offered, const std::string& installed);

// True when text is exactly four decimal numbers joined by full stops
// ("3.2.0.150"), each within the signed 32-bit range: nothing before,
// between or after them.
bool IsPlainVersion(const std::string& text);

// Compares two versions number by number, the first that differs deciding:
// negative when a is below b, 0 when all four are equal, positive above.
// Unlike CompareVersion every number counts, as for a floor, which no later
// build of an older release may pass. A text that does not parse counts as
// 0.0.0.0.
int CompareVersionNumbers(const std::string& a, const std::string& b);

}  // namespace rerozadez
