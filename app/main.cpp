#include <windows.h>

#include "settings/setup_settings.h"

// The entry point only hands over to the libraries; the start-up sequence
// grows here as the window and the workflow arrive.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  rerozadez::GetSetupSettings()->LoadSetupConfig();
  return 0;
}
