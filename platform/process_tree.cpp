#include "platform/process_tree.h"

namespace rerozadez {
namespace {

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

}  // namespace rerozadez
