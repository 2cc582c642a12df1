#include "tests/support/tls_test_server.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

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

// A JSON string holding bytes: each byte outside printable ASCII as
// \u00XX, which the server turns back into that byte (Latin-1).
std::string JsonBytes(const std::string& bytes) {
  std::string text = "\"";
  for (unsigned char byte : bytes) {
    if (byte < 0x20 || byte >= 0x7F || byte == '"' || byte == '\\') {
      char escape[8];
      std::snprintf(escape, sizeof(escape), "\\u%04x", byte);
      text += escape;
    } else {
      text += static_cast<char>(byte);
    }
  }
  return text + "\"";
}

const char* CertificateName(TlsCertificate certificate) {
  switch (certificate) {
    case TlsCertificate::kOtherHost:
      return "otherhost";
    case TlsCertificate::kUntrusted:
      return "untrusted";
    default:
      return "localhost";
  }
}

}  // namespace

TestTlsServer::TestTlsServer(TlsCertificate certificate) : certificate_(certificate) {}

TestTlsServer::~TestTlsServer() {
  if (port_ <= 0)
    return;
  // Removing the port file asks the server to end; it says when it has.
  DeleteFileW(folder_.File(L"port").c_str());
  const DWORD start = GetTickCount();
  while (!FileExists(folder_.File(L"port.ended")) && GetTickCount() - start < 5000)
    Sleep(20);
}

bool TestTlsServer::Start() {
  WriteRoutes();
  // This process's Linux process id, which the server watches: Wine opens
  // the file from inside this process.
  const std::string owner = ReadFileBytes(L"Z:\\proc\\self\\stat");
  const std::string certificate = std::string(QUILL_TLS_DIR "/") + CertificateName(certificate_);
  const std::string command =
      "/usr/bin/python3 " QUILL_TLS_SERVER_SCRIPT " --cert " + certificate + ".pem --key " +
      certificate + ".key --routes " + UnixPath(folder_.File(L"routes.json")) + " --log " +
      UnixPath(folder_.File(L"requests.log")) + " --port-file " + UnixPath(folder_.File(L"port")) +
      " --owner " + std::to_string(std::atoi(owner.c_str()));
  std::wstring commandLine(command.begin(), command.end());
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  // Wine starts a Linux program without a process handle to hand back.
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    std::fprintf(stderr, "TestTlsServer: %s not started (%lu)\n", command.c_str(), GetLastError());
    return false;
  }
  if (process.hProcess != nullptr)
    CloseHandle(process.hProcess);
  if (process.hThread != nullptr)
    CloseHandle(process.hThread);

  const DWORD start = GetTickCount();
  while (port_ <= 0 && GetTickCount() - start < 15000) {
    Sleep(20);
    port_ = std::atoi(ReadFileBytes(folder_.File(L"port")).c_str());
  }
  if (port_ <= 0)
    std::fprintf(stderr, "TestTlsServer: %s named no port\n", command.c_str());
  return port_ > 0;
}

std::string TestTlsServer::BaseUrl() const {
  return "https://localhost:" + std::to_string(port_);
}

void TestTlsServer::SetRoute(const std::string& path, const HttpRoute& route) {
  for (auto& entry : routes_) {
    if (entry.first == path) {
      entry.second = route;
      WriteRoutes();
      return;
    }
  }
  routes_.push_back({path, route});
  WriteRoutes();
}

void TestTlsServer::WriteRoutes() const {
  std::ostringstream json;
  json << "{";
  for (size_t i = 0; i < routes_.size(); ++i) {
    const HttpRoute& route = routes_[i].second;
    json << (i > 0 ? "," : "") << JsonBytes(routes_[i].first) << ": {\"status\": " << route.status
         << ", \"honourRange\": " << (route.honourRange ? "true" : "false")
         << ", \"closeAfterBytes\": " << route.closeAfterBytes << ", \"headers\": {";
    for (size_t h = 0; h < route.headers.size(); ++h) {
      json << (h > 0 ? "," : "") << JsonBytes(route.headers[h].first) << ": "
           << JsonBytes(route.headers[h].second);
    }
    json << "}, ";
    if (route.bodyFile.empty())
      json << "\"body\": " << JsonBytes(route.body) << "}";
    else
      json << "\"file\": " << JsonBytes(UnixPath(route.bodyFile)) << "}";
  }
  json << "}";
  // Written aside and moved over, so the server never reads half a file.
  WriteFileBytes(folder_.File(L"routes.new"), json.str());
  MoveFileExW(folder_.File(L"routes.new").c_str(), folder_.File(L"routes.json").c_str(),
              MOVEFILE_REPLACE_EXISTING);
}

std::vector<std::string> TestTlsServer::Requests() const {
  std::vector<std::string> requests;
  std::istringstream lines(ReadFileBytes(folder_.File(L"requests.log")));
  std::string line;
  while (std::getline(lines, line))
    requests.push_back(line);
  return requests;
}

}  // namespace quilltest
