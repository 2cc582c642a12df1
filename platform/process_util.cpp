#include "platform/process_util.h"

#include <shellapi.h>

#include "platform/diagnostic_log.h"
#include "platform/pause.h"
#include "platform/process_snapshot.h"
#include "platform/scoped.h"

namespace rerozadez {
namespace {

const int kKillPasses = 11;
const DWORD kPauseBetweenPasses = 500;
const UINT kEndedExitCode = 4;
const DWORD kPauseAfterEnding = 100;
const DWORD kVanishPollInterval = 200;
const DWORD kVanishWaitLimit = 30000;

bool IsRunning(DWORD processId) {
  std::vector<ProcessEntry> entries;
  if (!TakeProcessSnapshot(&entries)) {
    return false;
  }
  for (const ProcessEntry& entry : entries) {
    if (entry.link.id == processId) {
      return true;
    }
  }
  return false;
}

// Ends one process and waits (bounded) until it has left the process list.
void EndProcess(DWORD processId) {
  ScopedHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, processId));
  if (!process.IsValid()) {
    return;
  }
  TerminateProcess(process.Get(), kEndedExitCode);
  process.Reset();

  Pause(kPauseAfterEnding);
  // Bounded by count, not by the clock: a test's pause hook returns at once,
  // and a clock-bounded loop would then spin for the whole limit.
  for (DWORD waited = 0; waited < kVanishWaitLimit && IsRunning(processId);
       waited += kVanishPollInterval) {
    Pause(kVanishPollInterval);
  }
}

void KillTree(DWORD root, const std::vector<ProcessEntry>& entries, std::set<DWORD>& visited) {
  std::vector<ProcessLink> links;
  links.reserve(entries.size());
  for (const ProcessEntry& entry : entries) {
    links.push_back(entry.link);
  }
  for (DWORD id : PlanProcessTreeKill(root, links, GetCurrentProcessId(), visited)) {
    EndProcess(id);
  }
}

}  // namespace

bool ProcessUtil::RunProgram(std::wstring folder, std::wstring file, std::wstring parameters,
                             bool wait, bool show) const {
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_FLAG_NO_UI | (wait ? SEE_MASK_NOCLOSEPROCESS : 0);
  info.lpFile = file.c_str();
  info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
  info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
  info.nShow = show ? SW_SHOWNORMAL : SW_HIDE;
  if (!ShellExecuteExW(&info)) {
    LogLine("program %s not started, Windows error %lu", LogText(file).c_str(), GetLastError());
    return false;
  }
  LogLine("program %s started (parameters \"%s\", folder \"%s\")", LogText(file).c_str(),
          LogText(parameters).c_str(), LogText(folder).c_str());
  if (wait && info.hProcess != nullptr) {
    ScopedHandle process(info.hProcess);
    WaitForSingleObject(process.Get(), INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.Get(), &exitCode);
    LogLine("program %s ended with exit code %lu", LogText(file).c_str(), exitCode);
  }
  return true;
}

bool ProcessUtil::KillProcessesByName(std::wstring text) const {
  for (int pass = 1; pass <= kKillPasses; ++pass) {
    if (pass > 1) {
      Pause(kPauseBetweenPasses);
    }
    std::vector<ProcessEntry> entries;
    if (!TakeProcessSnapshot(&entries)) {
      return true;
    }
    bool found = false;
    // Shared by the trees of one pass, so a match already ended as another
    // match's child is not walked again; the next pass starts afresh and
    // tries again whatever resisted.
    std::set<DWORD> visited;
    for (const ProcessEntry& entry : entries) {
      if (entry.imageName.find(text) == std::wstring::npos) {
        continue;
      }
      found = true;
      if (entry.link.id != 0) {
        KillTree(entry.link.id, entries, visited);
      }
    }
    if (!found) {
      return true;
    }
  }
  Pause(kPauseBetweenPasses);
  return false;
}

void ProcessUtil::KillProcessTree(DWORD processId) const {
  std::vector<ProcessEntry> entries;
  if (!TakeProcessSnapshot(&entries)) {
    return;
  }
  std::set<DWORD> visited;
  KillTree(processId, entries, visited);
}

ProcessUtil* GetProcessUtil() {
  // Deliberately leaked, like every utility object: usable while the
  // process exits.
  static ProcessUtil* const instance = new ProcessUtil();
  return instance;
}

}  // namespace rerozadez
