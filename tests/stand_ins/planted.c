/* Stand-in for a DLL planted beside the program under the name of one it
   uses (wininet.dll, version.dll, ...). Being loaded leaves a trace: an empty
   file <own path>.loaded. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    wchar_t path[MAX_PATH + 8] = L"";
    DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
      lstrcatW(path, L".loaded");
      HANDLE trace =
          CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
      if (trace != INVALID_HANDLE_VALUE) {
        CloseHandle(trace);
      }
    }
  }
  return TRUE;
}
