#pragma once

#include <windows.h>

namespace rerozadez {

// Every deliberate wait of the program (between kill passes, before a run's
// stages, on an empty network read) goes through Pause, so that a test can
// count the waits instead of sleeping through them.
void Pause(DWORD milliseconds);

// Replaces Sleep inside Pause; null restores it. For tests only; set it
// before the code under test runs and clear it afterwards. A hook that
// returns at once turns a wait loop into a busy loop, so loops bounded by
// time must also be bounded by count.
typedef void (*PauseHook)(DWORD milliseconds, void* context);
void SetPauseHook(PauseHook hook, void* context);

}  // namespace rerozadez
