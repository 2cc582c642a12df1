#pragma once

namespace rerozadez {

// Loads texts and pictures from the executable's resources. Stateless.
class ResourceUtil {};

// The one ResourceUtil, created on first use and never destroyed.
ResourceUtil* GetResourceUtil();

}  // namespace rerozadez
