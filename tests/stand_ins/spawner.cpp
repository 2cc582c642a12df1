// Stand-in for a program with children: "spawner.exe N" starts one copy of
// itself with N-1, which does the same, so N levels of descendants run below
// the first. Each level then sleeps like the sleeper, at most 20 s.
#include <windows.h>

#include <cwchar>
#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int) {
  int depth = _wtoi(arguments);
  if (depth > 0) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(self) + L"\" " + std::to_wstring(depth - 1);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (CreateProcessW(self, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &process)) {
      CloseHandle(process.hThread);
      CloseHandle(process.hProcess);
    }
  }
  Sleep(20 * 1000);
  return 0;
}
