#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <cwchar>
#include <string>

#include "settings/pause.h"
#include "settings/process_util.h"
#include "settings/scoped_handle.h"
#include "workflow/process_tree.h"

namespace rerozadez {
namespace {

const int kKillPasses = 11;
const DWORD kPauseBetweenPasses = 500;
const UINT kEndedExitCode = 4;
const DWORD kPauseAfterEnding = 100;
const DWORD kVanishPollInterval = 200;
const DWORD kVanishWaitLimit = 30000;

struct SnapshotEntry {
  ProcessLink link;
  std::wstring imageName;
};

uint64_t CreationTimeOf(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) {
    return 0;
  }
  return (static_cast<uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

bool SameImageName(const std::wstring& a, const std::wstring& b) {
  return _wcsicmp(a.c_str(), b.c_str()) == 0;
}

// All processes, in snapshot order, with their creation times when asked
// for; false when no snapshot could be taken.
bool TakeSnapshot(std::vector<SnapshotEntry>& entries, bool withCreationTimes) {
  entries.clear();
  ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.IsValid()) {
    return false;
  }
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
       more = Process32NextW(snapshot.Get(), &entry)) {
    uint64_t created = withCreationTimes ? ProcessCreationTime(entry.th32ProcessID) : 0;
    entries.push_back({{entry.th32ProcessID, entry.th32ParentProcessID, created}, entry.szExeFile});
  }
  return true;
}

// The image name the process list gives the id now; empty when it is gone.
std::wstring CurrentImageName(DWORD processId) {
  std::vector<SnapshotEntry> entries;
  TakeSnapshot(entries, false);
  for (const SnapshotEntry& entry : entries) {
    if (entry.link.id == processId) {
      return entry.imageName;
    }
  }
  return std::wstring();
}

bool IsRunning(DWORD processId) {
  return !CurrentImageName(processId).empty();
}

void KillTree(DWORD root, const std::vector<SnapshotEntry>& entries, std::set<DWORD>& visited) {
  std::vector<ProcessLink> links;
  links.reserve(entries.size());
  for (const SnapshotEntry& entry : entries) {
    links.push_back(entry.link);
  }
  for (DWORD id : PlanProcessTreeKill(root, links, GetCurrentProcessId(), visited)) {
    for (const SnapshotEntry& entry : entries) {
      if (entry.link.id == id) {
        EndPlannedProcess(id, entry.imageName, entry.link.created);
        break;
      }
    }
  }
}

const ProcessLink* FindProcess(DWORD id, const std::vector<ProcessLink>& processes) {
  for (const ProcessLink& process : processes) {
    if (process.id == id) {
      return &process;
    }
  }
  return nullptr;
}

void PlanFrom(const ProcessLink& parent, const std::vector<ProcessLink>& processes,
              DWORD currentProcessId, std::set<DWORD>& visited, std::vector<DWORD>& order) {
  if (parent.id == currentProcessId || !visited.insert(parent.id).second) {
    return;
  }
  for (const ProcessLink& child : processes) {
    if (child.parentId == parent.id && child.id != 0 && parent.created != 0 &&
        child.created >= parent.created) {
      PlanFrom(child, processes, currentProcessId, visited, order);
    }
  }
  order.push_back(parent.id);
}

}  // namespace

std::vector<DWORD> PlanProcessTreeKill(DWORD root, const std::vector<ProcessLink>& processes,
                                       DWORD currentProcessId, std::set<DWORD>& visited) {
  std::vector<DWORD> order;
  const ProcessLink* rootProcess = FindProcess(root, processes);
  if (rootProcess != nullptr) {
    PlanFrom(*rootProcess, processes, currentProcessId, visited, order);
  }
  return order;
}

uint64_t ProcessCreationTime(DWORD processId) {
  ScopedHandle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId));
  return process.IsValid() ? CreationTimeOf(process.Get()) : 0;
}

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

  Pause(kPauseAfterEnding);
  // Elapsed time by unsigned difference, so the tick count's wrap does no harm.
  DWORD waitStart = GetTickCount();
  while (IsRunning(processId) && GetTickCount() - waitStart < kVanishWaitLimit) {
    Pause(kVanishPollInterval);
  }
  return true;
}

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
    return false;
  }
  if (wait && info.hProcess != nullptr) {
    ScopedHandle process(info.hProcess);
    WaitForSingleObject(process.Get(), INFINITE);
  }
  return true;
}

bool ProcessUtil::KillProcessesByName(std::wstring text) const {
  for (int pass = 1; pass <= kKillPasses; ++pass) {
    if (pass > 1) {
      Pause(kPauseBetweenPasses);
    }
    std::vector<SnapshotEntry> entries;
    if (!TakeSnapshot(entries, true)) {
      return true;
    }
    bool found = false;
    // Shared by the trees of one pass, so a match already ended as another
    // match's child is not walked again; the next pass starts afresh and
    // tries again whatever resisted.
    std::set<DWORD> visited;
    for (const SnapshotEntry& entry : entries) {
      // The whole image name: "adb.exe" must not end "xadb.exe".
      if (!SameImageName(entry.imageName, text)) {
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
  std::vector<SnapshotEntry> entries;
  if (!TakeSnapshot(entries, true)) {
    return;
  }
  std::set<DWORD> visited;
  KillTree(processId, entries, visited);
}

}  // namespace rerozadez
