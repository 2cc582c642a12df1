#include "workflow/version_compare.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace rerozadez {
namespace {

const int kInstalledBuildThreshold = 2011000000;
const int kOfferedBuildThreshold = 1000000000;

// A decimal number from the start of text, saturated to the int range like
// the runtime's conversion of an overlong number.
int ParseVersionNumber(const std::string& text) {
  long value = strtol(text.c_str(), nullptr, 10);
  if (value > INT_MAX) {
    return INT_MAX;
  }
  if (value < INT_MIN) {
    return INT_MIN;
  }
  return static_cast<int>(value);
}

}  // namespace

bool ParseVersion(std::string text, int& major, int& minor, int& patch, int& build) {
  int* leading[] = {&major, &minor, &patch};
  for (int* number : leading) {
    size_t stop = text.find('.');
    if (stop == std::string::npos) {
      return false;
    }
    *number = ParseVersionNumber(text.substr(0, stop));
    text.erase(0, stop + 1);
  }
  build = ParseVersionNumber(text);
  return true;
}

int CompareVersion(std::string offered, std::string installed) {
  int offeredParts[4] = {};
  int installedParts[4] = {};
  if (!ParseVersion(offered, offeredParts[0], offeredParts[1], offeredParts[2], offeredParts[3]) ||
      !ParseVersion(installed, installedParts[0], installedParts[1], installedParts[2],
                    installedParts[3])) {
    return -1;
  }
  int offeredBuild = offeredParts[3];
  int installedBuild = installedParts[3];
  if (offeredBuild > installedBuild) {
    return 1;
  }
  if (offeredBuild == installedBuild) {
    return 0;
  }
  // Builds above the threshold came from an older numbering scheme (dates);
  // any build of the current scheme supersedes them.
  return installedBuild > kInstalledBuildThreshold && offeredBuild < kOfferedBuildThreshold ? 1
                                                                                            : -1;
}

bool IsInstalledSuiteCurrent(const std::string& offered, const std::string& installed) {
  int parts[4] = {};
  // CompareVersion answers -1 for an unparseable text too, which must not
  // read as "the installed suite is newer".
  return ParseVersion(offered, parts[0], parts[1], parts[2], parts[3]) &&
         ParseVersion(installed, parts[0], parts[1], parts[2], parts[3]) &&
         CompareVersion(offered, installed) <= 0;
}

bool IsPlainVersion(const std::string& text) {
  int numbers = 0;
  size_t start = 0;
  for (;;) {
    const size_t stop = std::min(text.find('.', start), text.size());
    const std::string number = text.substr(start, stop - start);
    if (number.empty() || number.size() > 10 ||
        number.find_first_not_of("0123456789") != std::string::npos ||
        strtoll(number.c_str(), nullptr, 10) > INT_MAX) {
      return false;
    }
    ++numbers;
    if (stop == text.size()) {
      return numbers == 4;
    }
    start = stop + 1;
  }
}

int CompareVersionNumbers(const std::string& a, const std::string& b) {
  int left[4] = {};
  int right[4] = {};
  if (!ParseVersion(a, left[0], left[1], left[2], left[3]))
    std::fill(left, left + 4, 0);
  if (!ParseVersion(b, right[0], right[1], right[2], right[3]))
    std::fill(right, right + 4, 0);
  for (int i = 0; i < 4; ++i) {
    if (left[i] != right[i])
      return left[i] < right[i] ? -1 : 1;
  }
  return 0;
}

}  // namespace rerozadez
