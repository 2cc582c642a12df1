#pragma once

#include <windows.h>

#include <cstdint>
#include <set>
#include <vector>

namespace rerozadez {

// One entry of a process snapshot: a process, its parent, and when it was
// created (FILETIME as a number; 0 when the process could not be asked).
struct ProcessLink {
  DWORD id;
  DWORD parentId;
  uint64_t created;
};

// The order in which to end root and its descendants: children before their
// parent, depth first, siblings in snapshot order. Parent ids are reused, so
// an entry counts as a child only when both creation times are known and it
// was created no earlier than its parent: a process left behind by an ended
// parent whose id went to root is not root's child. A root missing from the
// snapshot plans nothing. The current process and everything below it are
// left out, and so is any id already in visited, which receives every id
// planned; visited also keeps the walk finite.
std::vector<DWORD> PlanProcessTreeKill(DWORD root, const std::vector<ProcessLink>& processes,
                                       DWORD currentProcessId, std::set<DWORD>& visited);

}  // namespace rerozadez
