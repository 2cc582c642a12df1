#pragma once

#include <windows.h>

#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/scoped_environment.h"

namespace quilltest {

// A device-bridge server on loopback with one scripted phone, for tests of
// the bridge tool's pull and of everything that runs it. It speaks the host
// protocol (four-hex-digit framed requests answered OKAY or FAIL) for
// "host:transport-any" and "sync:", then the sync service's RECV and QUIT.
// Connections are served one after another on the server's own thread.
//
//   FakeBridgeServer server;                        // a free loopback port
//   server.AddFile("/sdcard/Tools/x.exe", bytes);
//   ASSERT_TRUE(server.Start());
//   ScopedBridgePort port(server.Port());           // the tool finds it
//   ... run the pull ...
//   server.Requests();  // {"host:transport-any", "sync:", "RECV /sdcard/Tools/x.exe", "QUIT"}
class FakeBridgeServer {
 public:
  enum class Behaviour {
    kServeFiles,      // files added with AddFile come in chunks; others get FAIL
    kNoDevice,        // "host:transport-any" answered FAIL
    kCloseMidFile,    // one DATA chunk of the file, then the connection closes
    kStallMidFile,    // one DATA chunk, then silence until the server stops
    kOversizedChunk,  // a DATA header announcing more than 64 KiB
  };

  // port 0 takes any free port; 5037 is the real server's.
  explicit FakeBridgeServer(unsigned short port = 0);
  // Stops serving, ending a stalled connection.
  ~FakeBridgeServer();
  FakeBridgeServer(const FakeBridgeServer&) = delete;
  FakeBridgeServer& operator=(const FakeBridgeServer&) = delete;

  // Set before Start.
  void AddFile(const std::string& remotePath, const std::string& content);
  void SetBehaviour(Behaviour behaviour) { behaviour_ = behaviour; }
  void SetChunkSize(size_t bytes) { chunkSize_ = bytes; }

  // Listens and serves on a thread. False when the port cannot be bound.
  bool Start();
  unsigned short Port() const { return port_; }

  // Every request in arrival order: host requests as sent, sync packets as
  // "<ID> <payload>". A client's last packet (QUIT) gets no answer, so it
  // may be recorded after the client is done: a caller that knows how many
  // must have come waits for them (a minute at most).
  std::vector<std::string> Requests(size_t atLeast = 0) const;
  int Connections() const;

  // Waits until a stalling behaviour has sent its chunk and stalled.
  bool WaitUntilStalled(DWORD timeoutMs) const;

 private:
  void Serve();
  void ServeConnection(uintptr_t connection);
  bool ServeSync(uintptr_t connection);
  void Record(const std::string& request);

  unsigned short port_;
  Behaviour behaviour_ = Behaviour::kServeFiles;
  size_t chunkSize_ = 64 * 1024;
  std::map<std::string, std::string> files_;
  uintptr_t listener_;
  HANDLE stopEvent_;
  HANDLE stalledEvent_;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  int connections_ = 0;
};

// Points bridge tools started from this process at a server on port, through
// ANDROID_ADB_SERVER_PORT as the real tool reads it; the old value comes back
// afterwards.
class ScopedBridgePort {
 public:
  explicit ScopedBridgePort(unsigned short port) {
    environment_.Set(L"ANDROID_ADB_SERVER_PORT", std::to_wstring(port));
  }

 private:
  ScopedEnvironment environment_;
};

}  // namespace quilltest
