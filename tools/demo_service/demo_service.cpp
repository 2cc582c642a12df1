// The demo's package service: answers the package-information query with the
// demo full setup's real size and MD5, and serves that file with Range
// support, on 127.0.0.1 (or another loopback address). It prints the
// address it serves and every request.
// Fault modes let the acceptance tests meet a hostile network:
//
//   demo_service.exe [<address>:]<port> <setup file> [fault] [log file]
//
//   none        a well-behaved service
//   drop        every reply of the file is cut at a random offset
//   drop-half   the first reply of the file is cut half-way, later ones are whole
//   no-range    the file is always sent whole with 200, ignoring Range
//   status-416, status-404, status-500   the file's replies have that status
//   empty       the file's replies are 200 with an empty body
//   bad-once    the first complete reply carries damaged bytes, later ones are right
//   bad-always  every reply carries damaged bytes
//   stall       the first reply stops sending three quarters in for 45 s, open
//   slow        the first reply pauses three quarters in for 3 s, so a person sees it
//   slow-line   the first reply comes at 1 MiB/s and pauses three quarters in for 6 s
//   slow-line-N every reply comes at N KiB/s (slow-line-32: a 256 kbit/s link)
//   huge-reply  the package reply is the offer and 64 MiB of blanks after it
//   deep-reply  the package reply is the offer with a member nested 5,000 arrays deep
//
// It runs until it is ended; the log file (when given) receives the lines too.
#include <windows.h>

#include <cstdio>
#include <random>
#include <string>

#include "tests/support/package_service.h"

namespace {

using quilltest::PackageService;

std::string ReadWholeFile(const std::wstring& path) {
  std::string bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return bytes;
  }
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
    bytes.append(buffer, read);
  }
  CloseHandle(file);
  return bytes;
}

std::string Narrow(const std::wstring& text) {
  return std::string(text.begin(), text.end());
}

FILE* g_log = nullptr;

void Say(const std::string& line) {
  printf("%s\n", line.c_str());
  fflush(stdout);
  if (g_log != nullptr) {
    fprintf(g_log, "%s\n", line.c_str());
    fflush(g_log);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: demo_service [<address>:]<port> <setup file> [fault] [log file]\n");
    return 2;
  }
  // "<port>" or "<loopback address>:<port>" (127.0.0.2 is not bypassed by a
  // proxy set in Windows' Internet Settings).
  std::wstring where = argv[1];
  std::string host = "127.0.0.1";
  const size_t colon = where.find(L':');
  if (colon != std::wstring::npos) {
    host = Narrow(where.substr(0, colon));
    where = where.substr(colon + 1);
  }
  int port = _wtoi(where.c_str());
  std::wstring setupFile = argv[2];
  std::string fault = argc > 3 ? Narrow(argv[3]) : "none";
  if (argc > 4) {
    g_log = _wfopen(argv[4], L"a");
  }

  std::string setup = ReadWholeFile(setupFile);
  std::string digest = quilltest::Md5Hex(setup);
  if (setup.empty() || digest.empty()) {
    fprintf(stderr, "demo_service: cannot read %ls\n", setupFile.c_str());
    return 1;
  }
  std::string damaged = setup;
  damaged[damaged.size() / 2] ^= 0x5a;

  PackageService server;
  if (!server.Start(port, host)) {
    fprintf(stderr, "demo_service: cannot listen on %s:%d\n", host.c_str(), port);
    return 1;
  }
  server.Offer(QUILL_DEMO_SUITE_VERSION, setup);
  if (fault == "huge-reply" || fault == "deep-reply") {
    quilltest::HttpRoute reply = PackageService::OfferReply(
        QUILL_DEMO_SUITE_VERSION, setup, server.BaseUrl() + PackageService::kFilePath);
    if (fault == "huge-reply") {
      // The offer and 64 MiB of blanks: still JSON, but far past any reply.
      reply.body.append(64 << 20, ' ');
    } else {
      // Deeper than the JSON reader goes: it gives up by throwing.
      reply.body.insert(reply.body.size() - 1,
                        ",\"X\":" + std::string(5000, '[') + std::string(5000, ']'));
    }
    server.SetRoute(PackageService::kQueryPath, reply);
  }

  std::mt19937 random(GetTickCount());
  // The file's reply for its n-th request (counting from 0).
  auto fileRoute = [&](int n) {
    quilltest::HttpRoute route;
    route.body = setup;
    if (fault == "drop") {
      route.closeAfterBytes = 1 + static_cast<long long>(random() % (setup.size() / 3));
    } else if (fault == "drop-half" && n == 0) {
      route.closeAfterBytes = static_cast<long long>(setup.size() / 2);
    } else if (fault == "no-range") {
      route.honourRange = false;
    } else if (fault.compare(0, 7, "status-") == 0) {
      route.status = atoi(fault.c_str() + 7);
      route.body = "<html><body>error page</body></html>";
    } else if (fault == "empty") {
      route.body.clear();
      route.honourRange = false;
    } else if ((fault == "bad-once" && n == 0) || fault == "bad-always") {
      route.body = damaged;
    } else if ((fault == "stall" || fault == "slow") && n == 0) {
      // Three quarters in: past the downloader's first 1 MiB read, so the
      // file on disk has grown visibly when the reply stops.
      route.stallAfterBytes = static_cast<long long>(setup.size() / 4 * 3);
      route.stallMilliseconds = fault == "stall" ? 45000 : 3000;
    } else if (fault.compare(0, 10, "slow-line-") == 0) {
      route.bytesPerSecond = static_cast<unsigned>(atoi(fault.c_str() + 10)) * 1024;
    } else if (fault == "slow-line" && n == 0) {
      route.bytesPerSecond = 1024 * 1024;
      route.stallAfterBytes = static_cast<long long>(setup.size() / 4 * 3);
      route.stallMilliseconds = 6000;
    }
    return route;
  };
  int fileReplies = 0;
  server.SetRoute(PackageService::kFilePath, fileRoute(fileReplies));

  Say("demo package service on " + server.BaseUrl() + " (fault mode: " + fault + ")");
  Say("offering version " QUILL_DEMO_SUITE_VERSION ", " + std::to_string(setup.size()) +
      " bytes, MD5 " + digest);

  size_t printed = 0;
  for (;;) {
    std::vector<quilltest::RecordedRequest> requests = server.Requests();
    for (; printed < requests.size(); ++printed) {
      const quilltest::RecordedRequest& request = requests[printed];
      std::string range = request.Header("Range");
      Say(request.method + " " + request.target +
          (range.empty() ? "" : "  [Range: " + range + "]"));
      if (request.target == PackageService::kFilePath) {
        // The next request of the file gets its own reply (a new cut, or
        // the right bytes after a damaged first copy).
        server.SetRoute(PackageService::kFilePath, fileRoute(++fileReplies));
      }
    }
    Sleep(5);
  }
}
