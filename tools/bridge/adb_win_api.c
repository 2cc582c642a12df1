/* Stand-in for the device-bridge tool's first library. adb.exe imports it,
   and it imports the second library, so the tool starts only when all three
   files were deployed side by side, as with the real ones. */
#include <windows.h>

int AdbWinUsbApiStandInVersion(void);

__declspec(dllexport) int AdbWinApiStandInVersion(void) {
  return AdbWinUsbApiStandInVersion();
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance;
  (void)reason;
  (void)reserved;
  return TRUE;
}
