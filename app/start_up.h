#pragma once

#include <windows.h>

namespace rerozadezGUI {

// The whole program after the entry point: single instance, configuration,
// installed-suite path, window and message loop. Returns the exit code
// (app/exit_codes.h).
int RunApplication(HINSTANCE module);

}  // namespace rerozadezGUI
