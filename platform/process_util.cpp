#include "platform/process_util.h"

#include <shellapi.h>

#include <cwchar>
#include <functional>

#include "platform/diagnostic_log.h"
#include "platform/pause.h"
#include "platform/process_image.h"
#include "platform/process_instance.h"
#include "platform/process_snapshot.h"
#include "platform/scoped.h"

namespace rerozadez {
namespace {

const int kKillPasses = 11;
const UINT kEndedExitCode = 4;
const DWORD kVanishPollInterval = 200;
const DWORD kVanishWaitLimit = 30000;

bool SameImageName(const std::wstring& a, const std::wstring& b) {
  return _wcsicmp(a.c_str(), b.c_str()) == 0;
}

// Gives the snapshot's entries their creation times, for planning trees.
// Each costs opening the process, so only a pass that ends something pays.
// A time already read (with a match's image path) is kept: it is the one
// the match was judged by.
void AddCreationTimes(std::vector<ProcessEntry>* entries) {
  for (ProcessEntry& entry : *entries) {
    if (entry.link.created == 0) {
      entry.link.created = ProcessCreationTime(entry.link.id);
    }
  }
}

// The image name the process list gives the id now; empty when it is gone.
std::wstring CurrentImageName(DWORD processId) {
  std::vector<ProcessEntry> entries;
  TakeProcessSnapshot(&entries);
  for (const ProcessEntry& entry : entries) {
    if (entry.link.id == processId) {
      return entry.imageName;
    }
  }
  return std::wstring();
}

bool IsRunning(DWORD processId) {
  return !CurrentImageName(processId).empty();
}

void KillTree(DWORD root, const std::vector<ProcessEntry>& entries, std::set<DWORD>& visited) {
  std::vector<ProcessLink> links;
  links.reserve(entries.size());
  for (const ProcessEntry& entry : entries) {
    links.push_back(entry.link);
  }
  for (DWORD id : PlanProcessTreeKill(root, links, GetCurrentProcessId(), visited)) {
    for (const ProcessEntry& entry : entries) {
      if (entry.link.id == id) {
        EndPlannedProcess(id, entry.imageName, entry.link.created);
        break;
      }
    }
  }
}

// Ends every process named imageName (the whole name, ignoring case) that
// isMatch accepts, each with its descendants, children first, pass after
// pass (see KillProcessesByName). isMatch may set the entry's creation time.
bool EndMatchingProcesses(const std::wstring& imageName,
                          const std::function<bool(ProcessEntry*)>& isMatch) {
  for (int pass = 1; pass <= kKillPasses; ++pass) {
    if (pass > 1) {
      Pause(ProcessUtil::kPauseBetweenPasses);
    }
    std::vector<ProcessEntry> entries;
    if (!TakeProcessSnapshot(&entries)) {
      return true;
    }
    // The whole image name: "adb.exe" must not end "xadb.exe".
    std::vector<DWORD> matches;
    for (ProcessEntry& entry : entries) {
      if (entry.link.id != 0 && SameImageName(entry.imageName, imageName) && isMatch(&entry)) {
        matches.push_back(entry.link.id);
      }
    }
    if (matches.empty()) {
      return true;
    }
    AddCreationTimes(&entries);
    // Shared by the trees of one pass, so a match already ended as another
    // match's child is not walked again; the next pass starts afresh and
    // tries again whatever resisted.
    std::set<DWORD> visited;
    for (DWORD id : matches) {
      KillTree(id, entries, visited);
    }
  }
  Pause(ProcessUtil::kPauseBetweenPasses);
  return false;
}

}  // namespace

bool EndPlannedProcess(DWORD processId, const std::wstring& imageName, uint64_t created) {
  ScopedHandle process(
      OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION, FALSE, processId));
  if (!process.IsValid()) {
    return false;
  }
  // The open handle pins the process, so these checks cannot go stale: an id
  // handed to another process since the snapshot is left alone.
  if (created == 0 || CreationTimeOf(process.Get()) != created ||
      !SameImageName(CurrentImageName(processId), imageName)) {
    return false;
  }
  TerminateProcess(process.Get(), kEndedExitCode);
  process.Reset();

  Pause(ProcessUtil::kPauseAfterEnding);
  // Bounded by count, not by the clock: a test's pause hook returns at once,
  // and a clock-bounded loop would then spin for the whole limit.
  for (DWORD waited = 0; waited < kVanishWaitLimit && IsRunning(processId);
       waited += kVanishPollInterval) {
    Pause(kVanishPollInterval);
  }
  return true;
}

Status ProcessUtil::RunProgram(std::wstring folder, std::wstring file, std::wstring parameters,
                               bool wait, bool show, unsigned long* exitCode) const {
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_FLAG_NO_UI | (wait ? SEE_MASK_NOCLOSEPROCESS : 0);
  info.lpFile = file.c_str();
  info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
  info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
  info.nShow = show ? SW_SHOWNORMAL : SW_HIDE;
  if (!ShellExecuteExW(&info)) {
    return Status::LastError(StatusStep::kStartProgram, LogText(file));
  }
  LogLine("program %s started (parameters \"%s\", folder \"%s\")", LogText(file).c_str(),
          LogText(parameters).c_str(), LogText(folder).c_str());
  if (wait && info.hProcess != nullptr) {
    ScopedHandle process(info.hProcess);
    WaitForSingleObject(process.Get(), INFINITE);
    DWORD ended = 0;
    GetExitCodeProcess(process.Get(), &ended);
    LogLine("program %s ended with exit code %lu", LogText(file).c_str(), ended);
    if (exitCode != nullptr) {
      *exitCode = ended;
    }
  }
  return Status::Ok();
}

bool ProcessUtil::KillProcessesByName(std::wstring text) const {
  return EndMatchingProcesses(text, [](ProcessEntry*) { return true; });
}

bool ProcessUtil::EndProcessesOfImage(const std::wstring& imagePath) const {
  // Candidates by the file name; each one's own path decides.
  const std::wstring name = imagePath.substr(imagePath.find_last_of(L"\\/") + 1);
  return EndMatchingProcesses(name, [&imagePath](ProcessEntry* entry) {
    std::wstring path;
    // The creation time read with the path is the one the ending checks, so
    // an id reused since is not taken for the process whose path matched.
    return ReadProcessImage(entry->link.id, &path, &entry->link.created) &&
           SameImagePath(path, imagePath, LongPathForm);
  });
}

void ProcessUtil::KillProcessTree(DWORD processId) const {
  std::vector<ProcessEntry> entries;
  if (!TakeProcessSnapshot(&entries)) {
    return;
  }
  AddCreationTimes(&entries);
  std::set<DWORD> visited;
  KillTree(processId, entries, visited);
}

ProcessUtil* GetProcessUtil() {
  return ProcessInstance<ProcessUtil>();
}

}  // namespace rerozadez
