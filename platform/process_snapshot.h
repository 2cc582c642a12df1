#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/process_tree.h"

namespace rerozadez {

// One process of a snapshot: its id, its parent's id as recorded at its
// creation (the parent may have ended and its id been reused since), and
// its bare image name.
struct ProcessEntry {
  ProcessLink link;
  std::wstring imageName;
};

// Every process, in snapshot order; false when no snapshot could be taken.
bool TakeProcessSnapshot(std::vector<ProcessEntry>* entries);

}  // namespace rerozadez
