#include "tests/support/fake_bridge_server.h"

#include <winsock2.h>

#include <cstdio>

#include "tests/support/program_driver.h"

namespace quilltest {
namespace {

SOCKET AsSocket(uintptr_t socket) {
  return static_cast<SOCKET>(socket);
}

bool SendAll(SOCKET socket, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    int result = send(socket, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
    if (result <= 0) {
      return false;
    }
    sent += static_cast<size_t>(result);
  }
  return true;
}

bool ReceiveAll(SOCKET socket, std::string* bytes, size_t count) {
  bytes->assign(count, '\0');
  size_t received = 0;
  while (received < count) {
    int result = recv(socket, &(*bytes)[received], static_cast<int>(count - received), 0);
    if (result <= 0) {
      return false;
    }
    received += static_cast<size_t>(result);
  }
  return true;
}

// The server's words are written out by hand here, independently of the
// tool's own encoder, so that a framing mistake in either shows up.
std::string HostFailure(const std::string& message) {
  char length[8];
  snprintf(length, sizeof(length), "%04x", static_cast<unsigned>(message.size()));
  return std::string("FAIL") + length + message;
}

std::string SyncPacket(const char* id, uint32_t length, const std::string& payload) {
  std::string packet(id, 4);
  packet += static_cast<char>(length & 0xFF);
  packet += static_cast<char>((length >> 8) & 0xFF);
  packet += static_cast<char>((length >> 16) & 0xFF);
  packet += static_cast<char>((length >> 24) & 0xFF);
  return packet + payload;
}

}  // namespace

FakeBridgeServer::FakeBridgeServer(unsigned short port)
    : port_(port),
      listener_(INVALID_SOCKET),
      stopEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      stalledEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
}

FakeBridgeServer::~FakeBridgeServer() {
  SetEvent(stopEvent_);
  if (thread_.joinable()) {
    thread_.join();
  }
  if (AsSocket(listener_) != INVALID_SOCKET) {
    closesocket(AsSocket(listener_));
  }
  CloseHandle(stopEvent_);
  CloseHandle(stalledEvent_);
  WSACleanup();
}

void FakeBridgeServer::AddFile(const std::string& remotePath, const std::string& content) {
  files_[remotePath] = content;
}

bool FakeBridgeServer::Start() {
  SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (listener == INVALID_SOCKET) {
    return false;
  }
  listener_ = static_cast<uintptr_t>(listener);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(port_);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof(address);
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      listen(listener, 8) != 0 ||
      getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return false;
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread(&FakeBridgeServer::Serve, this);
  return true;
}

std::vector<std::string> FakeBridgeServer::Requests(size_t atLeast) const {
  const auto recorded = [this] {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  };
  WaitUntil([&] { return recorded().size() >= atLeast; }, kDeadlineMs);
  return recorded();
}

int FakeBridgeServer::Connections() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return connections_;
}

bool FakeBridgeServer::WaitUntilStalled(DWORD timeoutMs) const {
  return WaitForSingleObject(stalledEvent_, timeoutMs) == WAIT_OBJECT_0;
}

void FakeBridgeServer::Record(const std::string& request) {
  std::lock_guard<std::mutex> lock(mutex_);
  requests_.push_back(request);
}

void FakeBridgeServer::Serve() {
  SOCKET listener = AsSocket(listener_);
  while (WaitForSingleObject(stopEvent_, 0) != WAIT_OBJECT_0) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(listener, &readable);
    timeval interval = {0, 50 * 1000};  // looks at the stop event in between
    if (select(0, &readable, nullptr, nullptr, &interval) != 1) {
      continue;
    }
    SOCKET connection = accept(listener, nullptr, nullptr);
    if (connection == INVALID_SOCKET) {
      continue;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++connections_;
    }
    ServeConnection(static_cast<uintptr_t>(connection));
    closesocket(connection);
  }
}

void FakeBridgeServer::ServeConnection(uintptr_t connection) {
  SOCKET socket = AsSocket(connection);
  while (true) {
    std::string length, request;
    if (!ReceiveAll(socket, &length, 4)) {
      return;
    }
    unsigned long size = strtoul(length.c_str(), nullptr, 16);
    if (!ReceiveAll(socket, &request, size)) {
      return;
    }
    Record(request);
    if (request == "host:transport-any") {
      if (behaviour_ == Behaviour::kNoDevice) {
        SendAll(socket, HostFailure("no devices/emulators found"));
        return;
      }
      SendAll(socket, "OKAY");  // the connection now leads to the phone
    } else if (request == "sync:") {
      SendAll(socket, "OKAY");
      ServeSync(connection);
      return;
    } else {
      SendAll(socket, HostFailure("unknown host service"));
      return;
    }
  }
}

bool FakeBridgeServer::ServeSync(uintptr_t connection) {
  SOCKET socket = AsSocket(connection);
  while (true) {
    std::string header, payload;
    if (!ReceiveAll(socket, &header, 8)) {
      return false;
    }
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(header.data());
    uint32_t size =
        bytes[4] | bytes[5] << 8 | bytes[6] << 16 | static_cast<uint32_t>(bytes[7]) << 24;
    if (size > 4096 || !ReceiveAll(socket, &payload, size)) {
      return false;
    }
    std::string id = header.substr(0, 4);
    Record(id + " " + payload);
    if (id == "QUIT") {
      return true;
    }
    if (id != "RECV") {
      SendAll(socket, SyncPacket("FAIL", 15, "unknown request"));
      return false;
    }
    auto file = files_.find(payload);
    if (file == files_.end()) {
      const std::string message = "No such file or directory";
      SendAll(socket, SyncPacket("FAIL", static_cast<uint32_t>(message.size()), message));
      continue;
    }
    const std::string& content = file->second;
    if (behaviour_ == Behaviour::kOversizedChunk) {
      SendAll(socket, SyncPacket("DATA", 64 * 1024 + 1, content.substr(0, 64)));
      return false;
    }
    for (size_t offset = 0; offset < content.size(); offset += chunkSize_) {
      std::string chunk = content.substr(offset, chunkSize_);
      if (!SendAll(socket, SyncPacket("DATA", static_cast<uint32_t>(chunk.size()), chunk))) {
        return false;
      }
      if (behaviour_ == Behaviour::kCloseMidFile) {
        return false;
      }
      if (behaviour_ == Behaviour::kStallMidFile) {
        SetEvent(stalledEvent_);
        WaitForSingleObject(stopEvent_, INFINITE);
        return false;
      }
    }
    SendAll(socket, SyncPacket("DONE", 0, ""));
  }
}

}  // namespace quilltest
