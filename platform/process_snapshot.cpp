#include "platform/process_snapshot.h"

#include <tlhelp32.h>

#include "platform/scoped.h"

namespace rerozadez {

bool TakeProcessSnapshot(std::vector<ProcessEntry>* entries) {
  entries->clear();
  ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.IsValid()) {
    return false;
  }
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
       more = Process32NextW(snapshot.Get(), &entry)) {
    entries->push_back({{entry.th32ProcessID, entry.th32ParentProcessID, 0}, entry.szExeFile});
  }
  return true;
}

uint64_t CreationTimeOf(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) {
    return 0;
  }
  return (static_cast<uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

uint64_t ProcessCreationTime(DWORD processId) {
  // PROCESS_QUERY_INFORMATION: Windows XP has no narrower right for this.
  ScopedHandle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId));
  return process.IsValid() ? CreationTimeOf(process.Get()) : 0;
}

}  // namespace rerozadez
