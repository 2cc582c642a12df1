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
    entries->push_back({{entry.th32ProcessID, entry.th32ParentProcessID}, entry.szExeFile});
  }
  return true;
}

}  // namespace rerozadez
