#include "platform/process_tree.h"

namespace rerozadez {
namespace {

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

}  // namespace rerozadez
