#include "tests/support/tls_test_server.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "tests/support/program_driver.h"

namespace quilltest {
namespace {

// The Linux path Wine maps a Windows path to.
std::string UnixPath(const std::wstring& path) {
  typedef char*(CDECL * ToUnix)(const wchar_t*);
  ToUnix toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  char* unix = toUnix != nullptr ? toUnix(path.c_str()) : nullptr;
  std::string result = unix != nullptr ? unix : "";
  HeapFree(GetProcessHeap(), 0, unix);
  return result;
}

// A JSON string of bytes: all but printable ASCII as \u00XX, which the
// server reads back as Latin-1, byte for byte.
std::string JsonBytes(const std::string& bytes) {
  std::string text = "\"";
  for (unsigned char byte : bytes) {
    char escape[8] = {static_cast<char>(byte), 0};
    if (byte < 0x20 || byte >= 0x7F || byte == '"' || byte == '\\')
      std::snprintf(escape, sizeof(escape), "\\u%04x", byte);
    text += escape;
  }
  return text + "\"";
}

}  // namespace

TestTlsServer::TestTlsServer(TlsCertificate certificate) : certificate_(certificate) {}

TestTlsServer::~TestTlsServer() {
  if (port_ <= 0)
    return;
  // Removing the port file asks the server to end.
  DeleteFileW(folder_.File(L"port").c_str());
  const DWORD start = GetTickCount();
  while (!FileExists(folder_.File(L"port.ended")) && GetTickCount() - start < 5000)
    Sleep(20);
}

bool TestTlsServer::Start() {
  static const char* const kNames[] = {"localhost", "otherhost", "untrusted"};
  const std::string certificate =
      std::string(QUILL_TLS_DIR "/") + kNames[static_cast<int>(certificate_)];
  // Wine opens /proc/self from inside this process: its Linux id, which the
  // server watches.
  const int owner = std::atoi(ReadFileBytes(L"Z:\\proc\\self\\stat").c_str());
  const std::string command = "/usr/bin/python3 " QUILL_TLS_SERVER_SCRIPT " --cert " + certificate +
                              ".pem --key " + certificate + ".key --routes " +
                              UnixPath(folder_.File(L"routes.json")) + " --log " +
                              UnixPath(folder_.File(L"requests.log")) + " --port-file " +
                              UnixPath(folder_.File(L"port")) + " --owner " + std::to_string(owner);
  std::wstring commandLine(command.begin(), command.end());
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  // For a Linux program Wine hands back no handles.
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    std::fprintf(stderr, "TestTlsServer: %s not started (%lu)\n", command.c_str(), GetLastError());
    return false;
  }
  WaitUntil(
      [this] {
        port_ = std::atoi(ReadFileBytes(folder_.File(L"port")).c_str());
        return port_ > 0;
      },
      kDeadlineMs);
  if (port_ <= 0)
    std::fprintf(stderr, "TestTlsServer: %s named no port\n", command.c_str());
  return port_ > 0;
}

std::string TestTlsServer::BaseUrl() const {
  return "https://localhost:" + std::to_string(port_);
}

void TestTlsServer::SetRoute(const std::string& path, const HttpRoute& route) {
  routes_[path] = route;
  std::ostringstream json;
  const char* separator = "{";
  for (const auto& entry : routes_) {
    json << separator << JsonBytes(entry.first) << ": {\"status\": " << entry.second.status
         << ", \"closeAfterBytes\": " << entry.second.closeAfterBytes
         << ", \"body\": " << JsonBytes(entry.second.body) << ", \"headers\": {";
    for (size_t i = 0; i < entry.second.headers.size(); ++i) {
      json << (i > 0 ? ", " : "") << JsonBytes(entry.second.headers[i].first) << ": "
           << JsonBytes(entry.second.headers[i].second);
    }
    json << "}}";
    separator = ", ";
  }
  json << "}";
  // Written aside and moved over: the server never reads half a file.
  WriteFileBytes(folder_.File(L"routes.new"), json.str());
  MoveFileExW(folder_.File(L"routes.new").c_str(), folder_.File(L"routes.json").c_str(),
              MOVEFILE_REPLACE_EXISTING);
}

std::vector<std::string> TestTlsServer::Requests() const {
  std::vector<std::string> requests;
  std::istringstream lines(ReadFileBytes(folder_.File(L"requests.log")));
  for (std::string line; std::getline(lines, line);)
    requests.push_back(line);
  return requests;
}

}  // namespace quilltest
