#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

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

// All processes, in snapshot order; false when no snapshot could be taken.
bool TakeSnapshot(std::vector<SnapshotEntry>& entries) {
  entries.clear();
  ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.IsValid()) {
    return false;
  }
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
       more = Process32NextW(snapshot.Get(), &entry)) {
    entries.push_back({{entry.th32ProcessID, entry.th32ParentProcessID}, entry.szExeFile});
  }
  return true;
}

bool IsRunning(DWORD processId) {
  std::vector<SnapshotEntry> entries;
  if (!TakeSnapshot(entries)) {
    return false;
  }
  for (const SnapshotEntry& entry : entries) {
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
  // Elapsed time by unsigned difference, so the tick count's wrap does no harm.
  DWORD waitStart = GetTickCount();
  while (IsRunning(processId) && GetTickCount() - waitStart < kVanishWaitLimit) {
    Pause(kVanishPollInterval);
  }
}

void KillTree(DWORD root, const std::vector<SnapshotEntry>& entries, std::set<DWORD>& visited) {
  std::vector<ProcessLink> links;
  links.reserve(entries.size());
  for (const SnapshotEntry& entry : entries) {
    links.push_back(entry.link);
  }
  for (DWORD id : PlanProcessTreeKill(root, links, GetCurrentProcessId(), visited)) {
    EndProcess(id);
  }
}

void PlanFrom(DWORD id, const std::vector<ProcessLink>& processes, DWORD currentProcessId,
              std::set<DWORD>& visited, std::vector<DWORD>& order) {
  if (id == currentProcessId || !visited.insert(id).second) {
    return;
  }
  for (const ProcessLink& child : processes) {
    if (child.parentId == id && child.id != 0) {
      PlanFrom(child.id, processes, currentProcessId, visited, order);
    }
  }
  order.push_back(id);
}

}  // namespace

std::vector<DWORD> PlanProcessTreeKill(DWORD root, const std::vector<ProcessLink>& processes,
                                       DWORD currentProcessId, std::set<DWORD>& visited) {
  std::vector<DWORD> order;
  PlanFrom(root, processes, currentProcessId, visited, order);
  return order;
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
    if (!TakeSnapshot(entries)) {
      return true;
    }
    bool found = false;
    // Shared by the trees of one pass, so a match already ended as another
    // match's child is not walked again; the next pass starts afresh and
    // tries again whatever resisted.
    std::set<DWORD> visited;
    for (const SnapshotEntry& entry : entries) {
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
  std::vector<SnapshotEntry> entries;
  if (!TakeSnapshot(entries)) {
    return;
  }
  std::set<DWORD> visited;
  KillTree(processId, entries, visited);
}

}  // namespace rerozadez
