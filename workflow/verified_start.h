#pragma once

#include <functional>
#include <string>

namespace rerozadez {

// How a program is started (see ProcessUtil::RunProgram).
struct ProgramStart {
  std::wstring file;
  std::wstring folder;      // empty: none passed
  std::wstring parameters;  // empty: none passed
  bool wait;
  bool show;
};

enum StartOutcome {
  kProgramStarted,
  kProgramRefused,     // not held, contentCheck false, or its signature refused
  kProgramNotStarted,  // verified, but Windows did not start it
};

// The one way a program that came from outside (the full setup, the driver
// installer) is started. The file is held open sharing reading only, so no
// one can write, rename or delete it until it has been started; on that
// held file contentCheck runs (the caller's size and digest rules; may be
// empty), then the signature check against the build's publisher pins
// (CheckPublisherSignature). Only then are beforeStart (may be empty) and the
// start run. what names the file in the log ("setup", "driver installer"),
// with the reason and code of a refusal.
StartOutcome StartVerifiedProgram(const char* what, const ProgramStart& start,
                                  const std::function<bool()>& contentCheck,
                                  const std::function<void()>& beforeStart);

}  // namespace rerozadez
