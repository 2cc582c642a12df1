#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/status.h"

namespace rerozadez {

// Starts other programs and ends running ones. Stateless.
class ProcessUtil {
 public:
  // Starts file through the shell with no error UI. An empty folder or empty
  // parameters pass none. With wait, blocks until the program ends (no
  // limit) and stores its exit code in exitCode (when given). show selects
  // SW_SHOWNORMAL or SW_HIDE. Ok when it started, else kStartProgram with
  // Windows' code and the file.
  Status RunProgram(std::wstring folder, std::wstring file, std::wstring parameters, bool wait,
                    bool show, unsigned long* exitCode = nullptr) const;

  // Ends every process whose image name is text (ignoring case), each with
  // its descendants, children first. Up to 11 passes, kPauseBetweenPasses
  // apart, each ended process followed by kPauseAfterEnding; true when the
  // last pass found no match. The current process is never ended, though it
  // still counts as a match.
  bool KillProcessesByName(std::wstring text) const;
  static constexpr DWORD kPauseBetweenPasses = 500;
  static constexpr DWORD kPauseAfterEnding = 100;

  // The same for the processes whose image file is imagePath (compared
  // ignoring case, both sides in long form): candidates by imagePath's file
  // name, each one's own path read. A process whose path cannot be read is
  // left alone and is no match.
  bool EndProcessesOfImage(const std::wstring& imagePath) const;

  // Ends the process and its descendants (processes naming it as parent and
  // created after it), children first, waiting up to 30 s for each to
  // vanish. A process whose id or name changed since the snapshot is left
  // alone. Never ends the current process or descends from it.
  void KillProcessTree(DWORD processId) const;
};

// The one ProcessUtil, created on first use and never destroyed.
ProcessUtil* GetProcessUtil();

// Ends the process with exit code 4 and waits up to 30 s for it to leave the
// process list, but only while the id still names the process that was
// planned: created at created (see ProcessCreationTime) and with the image
// name imageName (ignoring case). True when it was ended.
bool EndPlannedProcess(DWORD processId, const std::wstring& imageName, uint64_t created);

}  // namespace rerozadez
