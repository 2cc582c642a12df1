#include "workflow/verified_start.h"

#include <windows.h>

#include "platform/diagnostic_log.h"
#include "platform/process_util.h"
#include "platform/publisher_signature.h"
#include "platform/scoped.h"
#include "settings/publisher_pins.h"

namespace rerozadez {

StartOutcome StartVerifiedProgram(const char* what, const ProgramStart& start,
                                  const std::function<bool()>& contentCheck,
                                  const std::function<void()>& beforeStart) {
  ScopedHandle held(CreateFileW(start.file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!held.IsValid()) {
    LogLine("%s %s not started: cannot hold it against changes, Windows error %lu", what,
            LogText(start.file).c_str(), GetLastError());
    return kProgramRefused;
  }
  if (contentCheck && !contentCheck()) {
    return kProgramRefused;
  }
  size_t pinCount = 0;
  const KeyPin* pins = BuildPublisherPins(&pinCount);
  if (pinCount == 0) {
    LogLine("%s: this build pins no publisher, its signature is not checked", what);
  } else {
    const SignatureCheck check = CheckPublisherSignature(held.Get(), start.file, pins, pinCount);
    if (check.verdict != kSignatureAccepted) {
      LogLine("%s %s refused: %s (code 0x%08lX)", what, LogText(start.file).c_str(),
              DescribeSignatureVerdict(check.verdict), check.code);
      return kProgramRefused;
    }
    LogLine("%s: %s", what, DescribeSignatureVerdict(check.verdict));
  }
  if (beforeStart) {
    beforeStart();
  }
  // Still held: what starts is what was checked.
  return GetProcessUtil()->RunProgram(start.folder, start.file, start.parameters, start.wait,
                                      start.show)
             ? kProgramStarted
             : kProgramNotStarted;
}

}  // namespace rerozadez
