#include "app/exit_codes.h"

namespace rerozadezGUI {

using rerozadez::FailureKind;

int ExitCodeForFailure(FailureKind failure) {
  switch (failure) {
    case FailureKind::kNoConnection:
      return kExitNoConnection;
    case FailureKind::kProxyRefused:
      return kExitProxyRefused;
    case FailureKind::kBadReply:
      return kExitBadReply;
    case FailureKind::kDownloadBroken:
      return kExitDownloadBroken;
    case FailureKind::kNotPublisher:
      return kExitNotPublisher;
    case FailureKind::kDiskProblem:
      return kExitDiskProblem;
    case FailureKind::kFileInUse:
      return kExitFileInUse;
    case FailureKind::kNone:
    case FailureKind::kSetupNotStarted:
      break;
  }
  return kExitFatal;
}

int ExitCodeFor(RunEnding ending, FailureKind failure) {
  switch (ending) {
    case RunEnding::kSetupStarted:
    case RunEnding::kSuiteCurrent:
      return kExitSuccess;
    case RunEnding::kFailed:
      return ExitCodeForFailure(failure);
    case RunEnding::kNotStarted:
    case RunEnding::kUnderWay:
      break;
  }
  return kExitUserClosed;
}

}  // namespace rerozadezGUI
