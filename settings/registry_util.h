#pragma once

namespace rerozadez {

// Reads and writes the registry values of the program. Stateless.
class RegistryUtil {};

// The one RegistryUtil, created on first use and never destroyed.
RegistryUtil* GetRegistryUtil();

}  // namespace rerozadez
