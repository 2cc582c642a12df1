// Extraction of a cabinet with CCabExtract, repeated:
//   extract_bench.exe <cabinet> <destination folder> <repetitions>
// Prints the mean milliseconds per extraction and the process's CPU seconds.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "cab/cab_extract.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: extract_bench <cabinet> <destination folder> <repetitions>\n");
    return 2;
  }
  int repetitions = _wtoi(argv[3]);
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  for (int i = 0; i < repetitions; ++i) {
    cab::CCabExtract extractor;
    const rerozadez::Status extracted = extractor.ExtractAll(argv[1], argv[2]);
    if (!extracted.ok()) {
      fprintf(stderr, "extract_bench: %s\n", rerozadez::DescribeStatus(extracted).c_str());
      return 1;
    }
  }
  QueryPerformanceCounter(&end);
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  double cpu = ((static_cast<ULONGLONG>(kernel.dwHighDateTime) << 32 | kernel.dwLowDateTime) +
                (static_cast<ULONGLONG>(user.dwHighDateTime) << 32 | user.dwLowDateTime)) /
               1e7;
  double ms = double(end.QuadPart - start.QuadPart) * 1000.0 / double(frequency.QuadPart);
  printf("%.2f ms per extraction, %.2f s CPU for %d\n", ms / repetitions, cpu, repetitions);
  return 0;
}
