// Plays the user in the unattended demo: finds the installer's window by its
// class name and presses a button, or closes the window, or waits for it.
//   demo_press.exe wait [ms]       until the window is shown (exit 0) or ms pass (1;
//                                  30 s when not given)
//   demo_press.exe click <id>      presses the button with that control id
//   demo_press.exe press <id>      once the button shows, presses it until it hides
//                                  (0), as a user presses again a press that was
//                                  lost; 1 when it never shows or never hides
//   demo_press.exe close           asks the window to close, as Alt+F4 does
//   demo_press.exe gone <ms>       until no such window is left (0) or ms pass (1)
//   demo_press.exe shown <id> <ms> until that control is visible (0) or ms pass (1)
//   demo_press.exe run <file> <program> [arguments...]
//                                  starts the program, waits for it and writes
//                                  its exit code, read on the Windows side, to file
//                                  (Wine's own exit status keeps only its low 8 bits)
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// The installer's window class: the text of its string 109.
const wchar_t kWindowClass[] = L"Travik\u624b\u673a/\u5e73\u677fPC\u5957\u4ef6";

HWND FindInstallerWindow() {
  HWND window = FindWindowW(kWindowClass, nullptr);
  return window != nullptr && IsWindowVisible(window) ? window : nullptr;
}

HWND WaitForWindow(DWORD timeoutMs) {
  DWORD start = GetTickCount();
  HWND window;
  while ((window = FindInstallerWindow()) == nullptr) {
    if (GetTickCount() - start > timeoutMs) {
      return nullptr;
    }
    Sleep(50);
  }
  return window;
}

// Owner-drawn buttons still turn BM_CLICK into the parent's WM_COMMAND.
void Click(HWND button) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 10000, &result);
}

// Waits until the control is visible (shown true) or hidden or gone (false).
bool WaitForControl(int id, bool shown, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    HWND window = FindInstallerWindow();
    HWND control = window != nullptr ? GetDlgItem(window, id) : nullptr;
    if ((control != nullptr && IsWindowVisible(control)) == shown) {
      return true;
    }
    if (GetTickCount() - start > timeoutMs) {
      return false;
    }
    Sleep(50);
  }
}

// Starts program, waits for it and writes its whole exit code into
// codeFile. 0 when the code was written.
int RunAndRecordExitCode(const wchar_t* codeFile, const wchar_t* program, int argc,
                         wchar_t** argv) {
  std::wstring commandLine = std::wstring(L"\"") + program + L"\"";
  for (int index = 0; index < argc; ++index) {
    commandLine += std::wstring(L" \"") + argv[index] + L"\"";
  }
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(program, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    fprintf(stderr, "demo_press: %ls not started, error %lu\n", program, GetLastError());
    return 1;
  }
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  FILE* file = _wfopen(codeFile, L"w");
  if (file == nullptr) {
    return 1;
  }
  fprintf(file, "%lu\n", code);
  return fclose(file) == 0 ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"run" && argc > 3) {
    return RunAndRecordExitCode(argv[2], argv[3], argc - 4, argv + 4);
  }
  if (command == L"gone") {
    DWORD limit = argc > 2 ? static_cast<DWORD>(_wtoi(argv[2])) : 60000;
    DWORD start = GetTickCount();
    while (FindWindowW(kWindowClass, nullptr) != nullptr) {
      if (GetTickCount() - start > limit) {
        return 1;
      }
      Sleep(100);
    }
    return 0;
  }
  if (command == L"press" && argc > 2) {
    const int id = _wtoi(argv[2]);
    for (int attempt = 0; attempt < 5; ++attempt) {
      if (!WaitForControl(id, true, 30000)) {
        fprintf(stderr, "demo_press: control %ls is not shown\n", argv[2]);
        return 1;
      }
      Click(GetDlgItem(FindInstallerWindow(), id));
      if (WaitForControl(id, false, 3000)) {
        return 0;
      }
    }
    fprintf(stderr, "demo_press: control %ls still shown after 5 presses\n", argv[2]);
    return 1;
  }
  DWORD waitMs = command == L"wait" && argc > 2 ? static_cast<DWORD>(_wtoi(argv[2])) : 30000;
  HWND window = WaitForWindow(waitMs);
  if (window == nullptr) {
    fprintf(stderr, "demo_press: the installer's window did not appear\n");
    return 1;
  }
  if (command == L"wait") {
    return 0;
  }
  if (command == L"shown" && argc > 3) {
    return WaitForControl(_wtoi(argv[2]), true, static_cast<DWORD>(_wtoi(argv[3]))) ? 0 : 1;
  }
  if (command == L"close") {
    PostMessageW(window, WM_CLOSE, 0, 0);
    return 0;
  }
  if (command == L"click" && argc > 2) {
    HWND button = GetDlgItem(window, _wtoi(argv[2]));
    if (button == nullptr) {
      fprintf(stderr, "demo_press: no control %ls\n", argv[2]);
      return 1;
    }
    Click(button);
    return 0;
  }
  fprintf(stderr,
          "usage: demo_press wait [ms] | click <id> | press <id> | close | gone <ms> | shown <id> "
          "<ms> | run <file> <program>\n");
  return 2;
}
