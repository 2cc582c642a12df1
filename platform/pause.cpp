#include "platform/pause.h"

namespace rerozadez {
namespace {

PauseHook g_pauseHook = nullptr;
void* g_pauseContext = nullptr;

}  // namespace

void Pause(DWORD milliseconds) {
  if (g_pauseHook != nullptr) {
    g_pauseHook(milliseconds, g_pauseContext);
  } else {
    Sleep(milliseconds);
  }
}

void SetPauseHook(PauseHook hook, void* context) {
  g_pauseHook = hook;
  g_pauseContext = context;
}

}  // namespace rerozadez
