/* Stand-in for the device-bridge tool's USB library: it only has to load. */
#include <windows.h>

__declspec(dllexport) int AdbWinUsbApiStandInVersion(void) {
  return 1;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance;
  (void)reason;
  (void)reserved;
  return TRUE;
}
