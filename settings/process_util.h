#pragma once

namespace rerozadez {

// Starts and ends other programs (the driver installer, the bridge tool, the full
// setup, the installed suite). Stateless.
class ProcessUtil {};

// The one ProcessUtil, created on first use and never destroyed.
ProcessUtil* GetProcessUtil();

}  // namespace rerozadez
