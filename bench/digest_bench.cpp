// Digest throughput of GetFileMd5 at a chosen read size:
//   digest_bench.exe <file> <read size in bytes>
// Prints the digest, MB/s (wall clock) and the process's CPU seconds.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "settings/sys_util.h"
#include "platform/file_digest.h"

namespace {

double CpuSeconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  ULARGE_INTEGER k, u;
  k.LowPart = kernel.dwLowDateTime;
  k.HighPart = kernel.dwHighDateTime;
  u.LowPart = user.dwLowDateTime;
  u.HighPart = user.dwHighDateTime;
  return (k.QuadPart + u.QuadPart) / 1e7;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: digest_bench <file> <read size>\n");
    return 2;
  }
  size_t readSize = static_cast<size_t>(_wtoi(argv[2]));
  uint64_t bytes = rerozadez::GetSysUtil()->GetFileLength(argv[1]);
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  double cpuStart = CpuSeconds();
  QueryPerformanceCounter(&start);
  std::string digest;
  const rerozadez::Status hashed =
      rerozadez::GetFileMd5WithReadSize(argv[1], true, readSize, &digest);
  QueryPerformanceCounter(&end);
  if (!hashed.ok()) {
    fprintf(stderr, "digest_bench: %s\n", rerozadez::DescribeStatus(hashed).c_str());
    return 1;
  }
  double seconds = double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
  printf("%s %8zu-byte reads: %7.1f MB/s, %.2f s wall, %.2f s CPU\n", digest.c_str(), readSize,
         bytes / seconds / 1e6, seconds, CpuSeconds() - cpuStart);
  return 0;
}
