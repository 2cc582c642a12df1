#pragma once

#include "workflow/run_failure.h"

namespace rerozadezGUI {

// The program's exit codes, as deployment tools read them. The first four
// are Windows Installer's, which those tools already understand; the rest
// name a failure an administrator can act on. Never renumbered.
const int kExitSuccess = 0;  // the setup was started, or the suite is current
const int kExitBadCommandLine =
    87;                             // an unknown switch or a missing path (ERROR_INVALID_PARAMETER)
const int kExitUserClosed = 1602;   // closed before or during a run
const int kExitFatal = 1603;        // a failure with no code of its own
const int kExitAnotherCopy = 1618;  // another copy of the program is running
const int kExitNoConnection = 2201;
const int kExitProxyRefused = 2202;
const int kExitBadReply = 2203;
const int kExitDownloadBroken = 2204;
const int kExitNotPublisher = 2205;
const int kExitDiskProblem = 2206;
const int kExitFileInUse = 2207;

// How far the window's run got when the window closed.
enum class RunEnding {
  kNotStarted,    // no run was started (or the hint screen was closed)
  kUnderWay,      // a run was started and had not ended
  kSetupStarted,  // the full setup was started
  kSuiteCurrent,  // the installed suite was current: nothing to fetch
  kFailed,        // the failure screen was showing
};

// The exit code for a run that ended at ending; failure is the kind the
// failure screen showed, setupExitCode the awaited setup's (0 when the
// setup was not awaited), which a started setup ends with.
int ExitCodeFor(RunEnding ending, rerozadez::FailureKind failure, int setupExitCode = 0);

// The exit code of a failure kind (kExitFatal for kNone and the setup that
// would not start).
int ExitCodeForFailure(rerozadez::FailureKind failure);

// The failure screen's line for a kind of failure (a string id; the setup
// that would not start's for kNone).
int FailureLineFor(rerozadez::FailureKind failure);

}  // namespace rerozadezGUI
