#include "tests/support/program_driver.h"

#include "app/skin_layout.h"

namespace quilltest {

HANDLE StartProgram(const std::wstring& exe, const std::wstring& folder,
                    const std::wstring& parameters) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  std::wstring commandLine = L"\"" + exe + L"\"" + parameters;
  if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
    return nullptr;
  }
  CloseHandle(process.hThread);
  return process.hProcess;
}

int ExitCode(HANDLE process, DWORD timeoutMs) {
  if (WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0) {
    return -1;
  }
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  return static_cast<int>(code);
}

HWND WaitForWindowWithButtons(const std::wstring& windowClass, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < timeoutMs) {
    HWND window = FindWindowW(windowClass.c_str(), nullptr);
    if (window != nullptr && IsWindowVisible(window) &&
        GetDlgItem(window, rerozadezGUI::kDetailsButtonId) != nullptr) {
      return window;
    }
    Sleep(20);
  }
  return nullptr;
}

bool ButtonVisible(HWND window, int id) {
  HWND button = GetDlgItem(window, id);
  return button != nullptr && IsWindowVisible(button);
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (!condition()) {
    if (GetTickCount() - start >= timeoutMs)
      return false;
    Sleep(20);
  }
  return true;
}

void PressButton(HWND window, int id) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(GetDlgItem(window, id), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 10000, &result);
}

void EndProcess(HANDLE* process) {
  if (*process != nullptr) {
    TerminateProcess(*process, 1);
    WaitForSingleObject(*process, 5000);
    CloseHandle(*process);
    *process = nullptr;
  }
}

std::wstring Backslashed(std::wstring path) {
  for (wchar_t& c : path) {
    c = c == L'/' ? L'\\' : c;
  }
  return path;
}

}  // namespace quilltest
