// Accessors of the stateless utility objects. Each object is created on first
// use and deliberately leaked, so it stays usable while the process exits.
#include "settings/process_util.h"
#include "settings/registry_util.h"
#include "settings/resource_util.h"
#include "settings/sys_util.h"

namespace rerozadez {

SysUtil* GetSysUtil() {
  static SysUtil* const instance = new SysUtil();
  return instance;
}

ProcessUtil* GetProcessUtil() {
  static ProcessUtil* const instance = new ProcessUtil();
  return instance;
}

ResourceUtil* GetResourceUtil() {
  static ResourceUtil* const instance = new ResourceUtil();
  return instance;
}

RegistryUtil* GetRegistryUtil() {
  static RegistryUtil* const instance = new RegistryUtil();
  return instance;
}

}  // namespace rerozadez
