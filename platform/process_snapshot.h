#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/process_tree.h"

namespace rerozadez {

// One process of a snapshot: its id, its parent's id as recorded at its
// creation (the parent may have ended and its id been reused since), and
// its bare image name. The snapshot leaves the creation time 0.
struct ProcessEntry {
  ProcessLink link;
  std::wstring imageName;
};

// Every process, in snapshot order; false when no snapshot could be taken.
bool TakeProcessSnapshot(std::vector<ProcessEntry>* entries);

// When the process was created (FILETIME as a number, as in ProcessLink); 0
// when it cannot be opened for querying.
uint64_t ProcessCreationTime(DWORD processId);

// The same for an open process handle (needs query rights).
uint64_t CreationTimeOf(HANDLE process);

}  // namespace rerozadez
