#pragma once

#include <functional>
#include <string>

#include "platform/status.h"

namespace rerozadez {

// How a program is started (see ProcessUtil::RunProgram).
struct ProgramStart {
  std::wstring file;
  std::wstring folder;      // empty: none passed
  std::wstring parameters;  // empty: none passed
  bool wait;
  bool show;
  unsigned long* exitCode = nullptr;  // with wait: receives the program's exit code
};

// How long the gate waits for a file another program holds before it gives
// up: a virus scanner's look ends well within it, an open editor does not.
const int kInUseAttempts = 10;
const unsigned long kInUsePauseMs = 500;

// The gate every program that came from outside (the full setup, the driver
// installer) passes before it is used. The file is held open sharing
// reading only, so no one can write, rename or delete it until it has been
// used (a file another program holds is waited for, kInUseAttempts times
// kInUsePauseMs); on that held file contentCheck runs (the caller's size and
// digest rules; may be empty), then the signature check against the build's
// publisher pins (CheckPublisherSignature). Only then does use run (the full
// setup's version check and its start, or its copy into a layout), while the
// file is still held; its result is the gate's. Otherwise the step
// (kStartHoldFile with Windows' code, contentCheck's failure,
// kStartSignature with WinVerifyTrust's code) with the file in the detail.
// what names the file in the log ("setup", "driver installer"); the caller
// logs a failure.
Status UseVerifiedFile(const char* what, const std::wstring& path,
                       const std::function<Status()>& contentCheck,
                       const std::function<Status()>& use);

// The gate with a plain start as its use (the driver installer): Ok when
// the program was started, else the gate's step or kStartProgram.
Status StartVerifiedProgram(const char* what, const ProgramStart& start,
                            const std::function<Status()>& contentCheck);

// True when the start failed because another program held the file (it
// could not be held, or its digest not read): the file is not to blame, so
// it is neither deleted nor fetched again.
bool IsFileInUse(const Status& status);

// True when the file itself was refused (not the expected content, or not
// the publisher's signature), or could not be read for the check for
// another reason than IsFileInUse: a fresh copy may pass.
bool IsFileRefused(const Status& status);

}  // namespace rerozadez
