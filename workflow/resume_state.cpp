#include "workflow/resume_state.h"

#include <windows.h>

#include <climits>
#include <cstdlib>

#include "settings/registry_util.h"
#include "settings/setup_settings.h"
#include "settings/sys_util.h"
#include "workflow/file_digest.h"

namespace rerozadez {

const char kResumeKey[] = "SOFTWARE\\VeziDazedera";

namespace {

const wchar_t kResumeKeyWide[] = L"SOFTWARE\\VeziDazedera";
const size_t kFullDigestLength = 32;
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

void StoreResumeRecord(const std::string& size, const std::string& fpmd5) {
  GetRegistryUtil()->SetCurrentUserStringA(kResumeKey, "downLoadSize", size);
  GetRegistryUtil()->SetCurrentUserStringA(kResumeKey, "FPMD5", fpmd5);
}

int64_t ParseSizeText(const std::wstring& text) {
  // _wcstoi64 saturates instead of wrapping on an overlong (tampered) text.
  return _wcstoi64(text.c_str(), nullptr, 10);
}

bool IsDownloadComplete() {
  uint64_t length = GetSysUtil()->GetFileLength(GetSetupSettings()->GetSetupFilePath());
  if (length == 0) {
    return false;
  }
  int64_t expected = ParseSizeText(
      GetRegistryUtil()->QueryStringW(HKEY_CURRENT_USER, kResumeKeyWide, L"downLoadSize"));
  // A negative (tampered) record makes every non-empty file complete; the
  // digest then decides.
  return expected < 0 || static_cast<uint64_t>(expected) <= length;
}

bool IsSetupFileAsRecorded() {
  uint64_t length = GetSysUtil()->GetFileLength(GetSetupSettings()->GetSetupFilePath());
  int64_t expected = ParseSizeText(
      GetRegistryUtil()->QueryStringW(HKEY_CURRENT_USER, kResumeKeyWide, L"downLoadSize"));
  // Sizes first: a file of the wrong size is not hashed at all.
  return length > 0 && expected > 0 && static_cast<uint64_t>(expected) == length &&
         IsDigestMatching();
}

HANDLE HoldSetupFile() {
  return CreateFileW(GetSetupSettings()->GetSetupFilePath().c_str(), GENERIC_READ, FILE_SHARE_READ,
                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool DigestsMatch(const std::string& computed, const std::string& recorded) {
  if (computed.size() != recorded.size()) {
    return false;
  }
  for (size_t i = 0; i < computed.size(); ++i) {
    char a = computed[i];
    char b = recorded[i];
    if (a >= 'A' && a <= 'Z') {
      a = static_cast<char>(a - 'A' + 'a');
    }
    if (b >= 'A' && b <= 'Z') {
      b = static_cast<char>(b - 'A' + 'a');
    }
    if (a != b) {
      return false;
    }
  }
  return true;
}

bool IsDigestMatching() {
  std::string recorded = GetRegistryUtil()->QueryStringA(HKEY_CURRENT_USER, kResumeKey, "FPMD5");
  bool fullForm = recorded.size() == kFullDigestLength;
  std::string computed = GetFileMd5(GetSetupSettings()->GetSetupFilePath(), fullForm);
  // A file that could not be read was not verified, whatever the record says.
  return !computed.empty() && DigestsMatch(computed, recorded);
}

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

}  // namespace rerozadez
