#pragma once

#include <windows.h>

#include <set>
#include <vector>

namespace rerozadez {

// One entry of a process snapshot: a process and its parent.
struct ProcessLink {
  DWORD id;
  DWORD parentId;
};

// The order in which to end root and its descendants: children before their
// parent, depth first, siblings in snapshot order. The current process and
// everything below it are left out, and so is any id already in visited,
// which receives every id planned. Process ids are reused, so parent links
// may form cycles; visited keeps the walk finite.
std::vector<DWORD> PlanProcessTreeKill(DWORD root, const std::vector<ProcessLink>& processes,
                                       DWORD currentProcessId, std::set<DWORD>& visited);

}  // namespace rerozadez
