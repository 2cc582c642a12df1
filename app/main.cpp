#include <windows.h>

#include "app/start_up.h"

// The whole program lives in the libraries; the entry point only hands over
// the module, so tests can run the same sequence.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  return rerozadezGUI::RunApplication(instance);
}
