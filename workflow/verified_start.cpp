#include "workflow/verified_start.h"

#include <windows.h>

#include "platform/diagnostic_log.h"
#include "platform/pause.h"
#include "platform/process_util.h"
#include "platform/publisher_signature.h"
#include "platform/scoped.h"
#include "settings/publisher_pins.h"

namespace rerozadez {
namespace {

bool IsHeldByAnother(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// Opens the file sharing reading only; waits while another program holds
// it. Ok with held set, or kStartHoldFile with the last Windows error.
Status HoldFile(const char* what, const std::wstring& path, ScopedHandle* held) {
  for (int attempt = 1;; ++attempt) {
    held->Reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (held->IsValid())
      return Status::Ok();
    const DWORD error = GetLastError();
    if (!IsHeldByAnother(error) || attempt == kInUseAttempts)
      return Status::Windows(StatusStep::kStartHoldFile, error, LogText(path));
    if (attempt == 1)
      LogLine("%s: another program holds the file, waiting for it", what);
    Pause(kInUsePauseMs);
  }
}

// The publisher check of the held file. Ok when the build pins no key.
Status CheckSignature(const char* what, HANDLE held, const std::wstring& path) {
  size_t pinCount = 0;
  const KeyPin* pins = BuildPublisherPins(&pinCount);
  if (pinCount == 0) {
    LogLine("%s: this build pins no publisher, its signature is not checked", what);
    return Status::Ok();
  }
  const SignatureCheck check = CheckPublisherSignature(held, path, pins, pinCount);
  if (check.verdict != kSignatureAccepted) {
    const std::string detail =
        std::string(DescribeSignatureVerdict(check.verdict)) + ", " + LogText(path);
    // A key that is not pinned is our verdict, with no Windows code behind it.
    return check.code == 0 ? Status::Failed(StatusStep::kStartSignature, detail)
                           : Status::Windows(StatusStep::kStartSignature, check.code, detail);
  }
  LogLine("%s: %s", what, DescribeSignatureVerdict(check.verdict));
  return Status::Ok();
}

}  // namespace

Status UseVerifiedFile(const char* what, const std::wstring& path,
                       const std::function<Status()>& contentCheck,
                       const std::function<Status()>& use) {
  ScopedHandle held;
  Status status = HoldFile(what, path, &held);
  if (status.ok() && contentCheck)
    status = contentCheck();
  if (status.ok())
    status = CheckSignature(what, held.Get(), path);
  // Still held: what is used is what was checked.
  return status.ok() ? use() : status;
}

Status StartVerifiedProgram(const char* what, const ProgramStart& start,
                            const std::function<Status()>& contentCheck) {
  return UseVerifiedFile(what, start.file, contentCheck, [&start] {
    return GetProcessUtil()->RunProgram(start.folder, start.file, start.parameters, start.wait,
                                        start.show, start.exitCode);
  });
}

bool IsFileInUse(const Status& status) {
  // Whether the hold or a read for the digest met the other program.
  return status.codeKind == CodeKind::kWindows && IsHeldByAnother(status.code);
}

bool IsFileRefused(const Status& status) {
  if (IsFileInUse(status))
    return false;
  switch (status.step) {
    case StatusStep::kStartContent:
    case StatusStep::kStartSignature:
    case StatusStep::kStartVersion:
    case StatusStep::kDigestOpenFile:
    case StatusStep::kDigestProvider:
    case StatusStep::kDigestReadFile:
    case StatusStep::kDigestHash:
      return true;
    default:
      return false;
  }
}

}  // namespace rerozadez
