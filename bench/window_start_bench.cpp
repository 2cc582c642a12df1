// Time from starting a program to its window being shown:
//   window_start_bench.exe <program> <window class> <repetitions> [<title>]
// Starts the program, polls until a visible top-level window of that class
// (and title, for programs whose class is the common dialog's) exists, ends
// the program, and prints the mean and the best milliseconds.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc != 4 && argc != 5) {
    fprintf(stderr, "usage: window_start_bench <program> <window class> <repetitions> [<title>]\n");
    return 2;
  }
  const wchar_t* title = argc == 5 ? argv[4] : nullptr;
  int repetitions = _wtoi(argv[3]);
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  double total = 0;
  double best = 1e9;
  for (int i = 0; i < repetitions; ++i) {
    std::wstring commandLine = L"\"" + std::wstring(argv[1]) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    LARGE_INTEGER start, shown;
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(argv[1], &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
      fprintf(stderr, "window_start_bench: cannot start the program\n");
      return 1;
    }
    HWND window = nullptr;
    for (int poll = 0; poll < 20000 && window == nullptr; ++poll) {
      window = FindWindowW(argv[2], title);
      if (window != nullptr && !IsWindowVisible(window)) {
        window = nullptr;
      }
      if (window == nullptr) {
        Sleep(1);
      }
    }
    QueryPerformanceCounter(&shown);
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (window == nullptr) {
      fprintf(stderr, "window_start_bench: no window appeared\n");
      return 1;
    }
    double ms = double(shown.QuadPart - start.QuadPart) * 1000.0 / double(frequency.QuadPart);
    total += ms;
    best = std::min(best, ms);
  }
  printf("%.1f %.1f\n", total / repetitions, best);
  return 0;
}
