#include "tools/bridge/bridge_client.h"

#include <winsock2.h>

#include <cstdlib>
#include <cwchar>
#include <vector>

namespace bridge {
namespace {

class Socket {
 public:
  Socket() : socket_(INVALID_SOCKET) {}
  ~Socket() {
    if (socket_ != INVALID_SOCKET) {
      closesocket(socket_);
    }
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  bool Connect(unsigned short port, DWORD receiveTimeoutMs) {
    socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket_ == INVALID_SOCKET) {
      return false;
    }
    DWORD timeout = receiveTimeoutMs;
    setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
               sizeof(timeout));
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
  }

  bool SendAll(const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
      int result = send(socket_, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
      if (result <= 0) {
        return false;
      }
      sent += static_cast<size_t>(result);
    }
    return true;
  }

  // Exactly count bytes; false when the stream ends, fails or times out first.
  bool ReceiveAll(char* buffer, size_t count) {
    size_t received = 0;
    while (received < count) {
      int result = recv(socket_, buffer + received, static_cast<int>(count - received), 0);
      if (result <= 0) {
        return false;
      }
      received += static_cast<size_t>(result);
    }
    return true;
  }

 private:
  SOCKET socket_;
};

class WinsockSession {
 public:
  WinsockSession() : started_(WSAStartup(MAKEWORD(2, 2), &data_) == 0) {}
  ~WinsockSession() {
    if (started_) {
      WSACleanup();
    }
  }
  bool Started() const { return started_; }

 private:
  WSADATA data_;
  bool started_;
};

// Sends one smart-socket request and reads the OKAY or FAIL status. A FAIL
// message is read and dropped: the tool shows nothing.
PullResult HostRequest(Socket* socket, const std::string& request) {
  std::string framed = FormatHostRequest(request);
  char status[4];
  if (framed.empty() || !socket->SendAll(framed) || !socket->ReceiveAll(status, 4)) {
    return kBrokenTransfer;
  }
  if (memcmp(status, "OKAY", 4) == 0) {
    return kPulled;
  }
  return memcmp(status, "FAIL", 4) == 0 ? kRefused : kBrokenTransfer;
}

class OutputFile {
 public:
  explicit OutputFile(const std::wstring& path)
      : path_(path),
        file_(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  // Removes the file unless it was kept.
  ~OutputFile() {
    Close();
    if (!kept_) {
      DeleteFileW(path_.c_str());
    }
  }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool IsOpen() const { return file_ != INVALID_HANDLE_VALUE; }

  bool Write(const char* bytes, DWORD count) {
    DWORD written = 0;
    return WriteFile(file_, bytes, count, &written, nullptr) && written == count;
  }

  bool MoveTo(const std::wstring& target) {
    Close();
    kept_ = MoveFileExW(path_.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
    return kept_;
  }

 private:
  void Close() {
    if (file_ != INVALID_HANDLE_VALUE) {
      CloseHandle(file_);
      file_ = INVALID_HANDLE_VALUE;
    }
  }

  std::wstring path_;
  HANDLE file_;
  bool kept_ = false;
};

// Reads DATA chunks into output until DONE. FAIL (no such file, no access)
// is a refusal; anything else, or a stream that ends first, is broken.
PullResult ReceiveFile(Socket* socket, OutputFile* output) {
  std::vector<char> chunk(kMaxSyncChunk);
  while (true) {
    unsigned char header[8];
    if (!socket->ReceiveAll(reinterpret_cast<char*>(header), sizeof(header))) {
      return kBrokenTransfer;
    }
    uint32_t length = ReadLittleEndian32(header + 4);
    if (memcmp(header, "DONE", 4) == 0) {
      return kPulled;
    }
    if (memcmp(header, "FAIL", 4) == 0) {
      return kRefused;
    }
    if (memcmp(header, "DATA", 4) != 0 || length > kMaxSyncChunk) {
      return kBrokenTransfer;
    }
    if (!socket->ReceiveAll(chunk.data(), length)) {
      return kBrokenTransfer;
    }
    if (!output->Write(chunk.data(), length)) {
      return kLocalFileError;
    }
  }
}

}  // namespace

unsigned short ServerPort() {
  wchar_t text[16] = {};
  DWORD length = GetEnvironmentVariableW(L"ANDROID_ADB_SERVER_PORT", text, 16);
  if (length > 0 && length < 16 && text[0] >= L'0' && text[0] <= L'9') {
    wchar_t* end = nullptr;
    unsigned long port = wcstoul(text, &end, 10);
    if (*end == L'\0' && port > 0 && port <= 0xFFFF) {
      return static_cast<unsigned short>(port);
    }
  }
  return 5037;
}

std::string FormatHostRequest(const std::string& request) {
  if (request.size() > 0xFFFF) {
    return std::string();
  }
  static const char kDigits[] = "0123456789abcdef";
  std::string framed(4, '0');
  for (int i = 0; i < 4; ++i) {
    framed[3 - i] = kDigits[(request.size() >> (4 * i)) & 0xF];
  }
  return framed + request;
}

int ParseHexLength(const char* digits) {
  int value = 0;
  for (int i = 0; i < 4; ++i) {
    char c = digits[i];
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return -1;
    }
    value = value * 16 + digit;
  }
  return value;
}

std::string FormatSyncPacket(const char* id, const std::string& payload) {
  std::string packet(id, 4);
  uint32_t length = static_cast<uint32_t>(payload.size());
  for (int i = 0; i < 4; ++i) {
    packet += static_cast<char>((length >> (8 * i)) & 0xFF);
  }
  return packet + payload;
}

uint32_t ReadLittleEndian32(const unsigned char* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

bool ParsePullCommand(int argumentCount, wchar_t** arguments, PullCommand* command) {
  if (argumentCount != 3 || wcscmp(arguments[0], L"pull") != 0) {
    return false;
  }
  command->remote = arguments[1];
  command->local = arguments[2];
  return !command->remote.empty() && !command->local.empty();
}

PullResult Pull(const std::string& remoteUtf8, const std::wstring& local, unsigned short port,
                DWORD receiveTimeoutMs) {
  if (remoteUtf8.empty() || remoteUtf8.size() > kMaxRemotePath || local.empty()) {
    return kBadCommandLine;
  }
  WinsockSession winsock;
  Socket socket;
  if (!winsock.Started() || !socket.Connect(port, receiveTimeoutMs)) {
    return kNoServer;
  }
  PullResult result = HostRequest(&socket, "host:transport-any");
  if (result == kPulled) {
    result = HostRequest(&socket, "sync:");
  }
  if (result != kPulled) {
    return result;
  }
  if (!socket.SendAll(FormatSyncPacket("RECV", remoteUtf8))) {
    return kBrokenTransfer;
  }
  // Never a partial file under the local name: the bytes gather under a
  // temporary name beside it and take the local name only when complete.
  OutputFile output(local + L".part");
  if (!output.IsOpen()) {
    return kLocalFileError;
  }
  result = ReceiveFile(&socket, &output);
  if (result != kPulled) {
    return result;
  }
  socket.SendAll(FormatSyncPacket("QUIT", std::string()));
  return output.MoveTo(local) ? kPulled : kLocalFileError;
}

}  // namespace bridge
