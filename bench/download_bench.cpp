// Download benchmark, run by bench/download_bench.sh (not by the tests).
//   download_bench serve <port> <file>    serves <file> at /payload.bin until killed
//   download_bench fetch <url> <path> <size>
//       runs DownloadFile once into <path> (removed first) and prints
//       "<wall s> <cpu s> <end wait s> <bytes> <failed step>": the call's wall-clock time,
//       the CPU time of the calling thread, the part of the wall time spent
//       in the downloader's end-of-body waits, and the file's final size.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "net/resumable_download.h"
#include "net/web_address.h"
#include "platform/status.h"
#include "platform/pause.h"
#include "tools/test_http_server/test_http_server.h"

namespace {

double Seconds(const FILETIME& time) {
  ULARGE_INTEGER value;
  value.LowPart = time.dwLowDateTime;
  value.HighPart = time.dwHighDateTime;
  return static_cast<double>(value.QuadPart) / 1e7;
}

double ThreadCpuSeconds() {
  FILETIME created, exited, kernel, user;
  GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
  return Seconds(kernel) + Seconds(user);
}

// Sleeps as the downloader would, keeping count of the time.
void TimedPause(DWORD milliseconds, void* context) {
  *static_cast<DWORD*>(context) += milliseconds;
  Sleep(milliseconds);
}

int Serve(int port, const std::wstring& file) {
  quilltest::TestHttpServer server;
  if (!server.Start(port)) {
    fprintf(stderr, "cannot listen on port %d\n", port);
    return 1;
  }
  quilltest::HttpRoute route;
  route.bodyFile = file;
  server.SetRoute("/payload.bin", route);
  printf("serving on %s\n", server.BaseUrl().c_str());
  fflush(stdout);
  Sleep(INFINITE);
  return 0;
}

int Fetch(const std::wstring& url, const std::wstring& path, long long size) {
  DeleteFileW(path.c_str());
  rerozadez::DownloadControl control;  // never stops, reports nothing
  DWORD paused = 0;
  rerozadez::SetPauseHook(&TimedPause, &paused);
  rerozadez::WebAddress address;
  if (!rerozadez::ParseWebAddress(url, &address)) {
    fprintf(stderr, "not an address to fetch\n");
    return 1;
  }
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  double cpuStart = ThreadCpuSeconds();
  QueryPerformanceCounter(&start);
  const rerozadez::Status status = rerozadez::DownloadFile(control, address, path, size);
  QueryPerformanceCounter(&end);
  double cpu = ThreadCpuSeconds() - cpuStart;
  double wall = static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart;

  WIN32_FILE_ATTRIBUTE_DATA data = {};
  GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
  unsigned long long bytes =
      (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  printf("%.3f %.3f %.3f %llu %d\n", wall, cpu, paused / 1000.0, bytes,
         static_cast<int>(status.step));
  if (!status.ok())
    fprintf(stderr, "%s\n", rerozadez::DescribeStatus(status).c_str());
  return status.ok() && static_cast<long long>(bytes) == size ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 4 && std::wstring(argv[1]) == L"serve")
    return Serve(_wtoi(argv[2]), argv[3]);
  if (argc == 5 && std::wstring(argv[1]) == L"fetch") {
    return Fetch(argv[2], argv[3], _wtoi64(argv[4]));
  }
  fprintf(stderr, "usage: download_bench serve <port> <file> | fetch <url> <path> <size>\n");
  return 2;
}
