#include "workflow/resume_state.h"

#include <windows.h>

#include <cstdlib>
#include <string>

#include "platform/diagnostic_log.h"
#include "platform/file_digest.h"
#include "platform/registry_util.h"
#include "settings/setup_settings.h"
#include "settings/sys_util.h"

namespace rerozadez {

const char kResumeKey[] = "SOFTWARE\\VeziDazedera";

namespace {

const size_t kFullDigestLength = 32;

// The recorded "downLoadSize"; 0 when missing or not numeric.
int64_t RecordedSize() {
  return ParseSizeText(GetRegistryUtil()->QueryStringW(
      HKEY_CURRENT_USER, GetSysUtil()->AnsiToWide(kResumeKey), L"downLoadSize"));
}

std::string RecordedDigest() {
  return GetRegistryUtil()->QueryStringA(HKEY_CURRENT_USER, kResumeKey, "FPMD5");
}

}  // namespace

Status StoreResumeRecord(const std::string& size, const std::string& fpmd5) {
  // The digest is written even when the size was not: the pair is judged
  // together, and a stale digest would pass an old file.
  const Status sizeStored =
      GetRegistryUtil()->SetCurrentUserStringA(kResumeKey, "downLoadSize", size);
  const Status digestStored = GetRegistryUtil()->SetCurrentUserStringA(kResumeKey, "FPMD5", fpmd5);
  return !sizeStored.ok() ? sizeStored : digestStored;
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
  int64_t expected = RecordedSize();
  // A negative (tampered) record makes every non-empty file complete; the
  // digest then decides.
  return expected < 0 || static_cast<uint64_t>(expected) <= length;
}

bool IsSetupFileAsRecorded(Status* why) {
  return IsFileAsRecorded(GetSetupSettings()->GetSetupFilePath(), why);
}

bool IsFileAsRecorded(const std::wstring& path, Status* why) {
  return IsFileAsExpected(path, RecordedSize(), RecordedDigest(), why);
}

bool IsFileAsExpected(const std::wstring& path, int64_t size, const std::string& digest,
                      Status* why) {
  uint64_t length = GetSysUtil()->GetFileLength(path);
  // Sizes first: a file of the wrong size is not hashed at all.
  if (length == 0 || size <= 0 || static_cast<uint64_t>(size) != length) {
    if (why != nullptr) {
      *why = Status::Failed(StatusStep::kStartContent, "size " + std::to_string(length) +
                                                           ", expected " + std::to_string(size));
    }
    return false;
  }
  return IsDigestOf(path, digest, why);
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

bool IsDigestMatching(Status* why) {
  return IsDigestOf(GetSetupSettings()->GetSetupFilePath(), RecordedDigest(), why);
}

bool IsDigestOf(const std::wstring& path, const std::string& digest, Status* why) {
  bool fullForm = digest.size() == kFullDigestLength;
  std::string computed;
  const Status hashed = GetFileMd5(path, fullForm, &computed);
  // A file that could not be read was not verified, whatever is expected.
  const bool matching = hashed.ok() && DigestsMatch(computed, digest);
  LogLine("digest of %s: %s, expected \"%s\", computed \"%s\"", LogText(path).c_str(),
          matching ? "matches" : "MISMATCH", digest.c_str(), computed.c_str());
  if (why != nullptr) {
    *why = matching || !hashed.ok() ? hashed
                                    : Status::Failed(StatusStep::kStartContent,
                                                     "MD5 " + computed + ", expected " + digest);
  }
  return matching;
}

}  // namespace rerozadez
