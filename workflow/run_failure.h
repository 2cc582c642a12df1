#pragma once

#include "platform/status.h"

namespace rerozadez {

// What a failed run tells the user and an administrator: each kind has its
// line on the failure screen and its exit code. The numbers travel as the
// value of NotifyDownloadFailed; 0 is never sent for a failure.
enum class FailureKind : int {
  kNone = 0,
  kNoConnection = 1,     // no connection to the service (offline, name, refused, time-out)
  kProxyRefused = 2,     // the proxy asked for credentials it did not get (407)
  kBadReply = 3,         // the service or the download server answered something unusable
  kDownloadBroken = 4,   // the download kept breaking off before the file was whole
  kNotPublisher = 5,     // the file is not the publisher's (content or signature refused)
  kDiskProblem = 6,      // the setup file could not be written (disk full, no access)
  kFileInUse = 7,        // another program holds the setup file
  kSetupNotStarted = 8,  // anything else that kept the setup from starting
};
const int kFailureKindCount = 9;

// The kind a run's failure belongs to, from the step that failed and its
// code. The code decides first (a file in use, a full disk, no connection,
// a proxy's 407 mean the same wherever they happen), then the step.
FailureKind ClassifyFailure(const Status& status);

// The log's words for a kind ("no connection", "file in use", ...).
const char* FailureKindName(FailureKind kind);

}  // namespace rerozadez
