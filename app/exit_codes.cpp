#include "app/exit_codes.h"

#include "resources/resource_ids.h"

namespace rerozadezGUI {
namespace {

using rerozadez::FailureKind;

// How each kind of failure ends the program: the failure screen's line and
// the exit code once that screen is closed.
struct FailureEnding {
  FailureKind kind;
  int line;
  int exitCode;
};

const FailureEnding kFailureEndings[] = {
    {FailureKind::kNoConnection, IDS_FAILURE_NO_CONNECTION, kExitNoConnection},
    {FailureKind::kProxyRefused, IDS_FAILURE_PROXY_REFUSED, kExitProxyRefused},
    {FailureKind::kBadReply, IDS_FAILURE_BAD_REPLY, kExitBadReply},
    {FailureKind::kDownloadBroken, IDS_FAILURE_DOWNLOAD_BROKEN, kExitDownloadBroken},
    {FailureKind::kNotPublisher, IDS_FAILURE_NOT_PUBLISHER, kExitNotPublisher},
    {FailureKind::kDiskProblem, IDS_FAILURE_DISK, kExitDiskProblem},
    {FailureKind::kFileInUse, IDS_FAILURE_FILE_IN_USE, kExitFileInUse},
    {FailureKind::kSetupNotStarted, IDS_FAILURE_SETUP_NOT_STARTED, kExitFatal},
};

// The ending of a kind; a kind without one of its own (kNone) ends as a
// setup that would not start, the last entry.
const FailureEnding& EndingOf(FailureKind failure) {
  for (const FailureEnding& ending : kFailureEndings) {
    if (ending.kind == failure)
      return ending;
  }
  return kFailureEndings[sizeof(kFailureEndings) / sizeof(kFailureEndings[0]) - 1];
}

}  // namespace

int ExitCodeForFailure(FailureKind failure) {
  return EndingOf(failure).exitCode;
}

int FailureLineFor(FailureKind failure) {
  return EndingOf(failure).line;
}

int ExitCodeFor(RunEnding ending, FailureKind failure, int setupExitCode) {
  switch (ending) {
    case RunEnding::kSetupStarted:
      return setupExitCode;
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
