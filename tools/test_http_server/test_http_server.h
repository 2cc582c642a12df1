#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace quilltest {

// How the test server answers one path. The defaults give "200 OK" with the
// body, honouring a Range request.
struct HttpRoute {
  int status = 200;
  std::string contentType = "application/octet-stream";
  // Extra reply headers. With a Last-Modified among them, a request whose
  // If-Modified-Since names that time gets 304 without a body.
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  // When set, the body is this file's content instead (large files).
  std::wstring bodyFile;
  // With status 200, a "Range: bytes=N-" or "bytes=N-M" request gets 206 with
  // that part, or 416 when N lies at or beyond the end. False answers 200 with
  // the whole body, as a server without range support does.
  bool honourRange = true;
  // Faults, counted in body bytes sent by this reply (after any range).
  long long closeAfterBytes = -1;  // close the connection at that point
  long long stallAfterBytes = -1;  // then send nothing for stallMilliseconds,
  unsigned stallMilliseconds = 0;  // keeping the connection open
  unsigned bytesPerSecond = 0;     // a slow line: the body paced (0: at once)
};

// One request as the server parsed it.
struct RecordedRequest {
  std::string method;
  std::string target;  // path with query, exactly as on the request line
  std::string version;
  std::vector<std::pair<std::string, std::string>> headers;  // in name order
  std::string body;

  // The first value of a header, matched without regard to case; empty when
  // absent.
  std::string Header(const std::string& name) const;
  bool HasHeader(const std::string& name) const;
};

// An HTTP server on 127.0.0.1 inside the test process (cpp-httplib), whose
// replies a test sets per path and which records every request it receives.
// Paths without a route answer 404. Requests that the library cannot parse
// (a lower-case method, a blank in the target) get 400 and are not recorded.
class TestHttpServer {
 public:
  TestHttpServer();
  ~TestHttpServer();  // stops the server; a stalled reply is cut short
  TestHttpServer(const TestHttpServer&) = delete;
  TestHttpServer& operator=(const TestHttpServer&) = delete;

  // Listens on host:port (0 picks a free port; host a loopback address such
  // as 127.0.0.2, which Wine's proxy settings do not bypass) and serves on
  // background threads; false when the port cannot be bound. Call once per
  // object.
  bool Start(int port = 0, const std::string& host = "127.0.0.1");
  void Stop();

  int Port() const;
  // "http://<host>:<port>"
  std::string BaseUrl() const;

  // Body bytes handed to the network so far, over every reply.
  long long BodyBytesSent() const;

  // Sets the reply for a path (without the query); safe while serving.
  void SetRoute(const std::string& path, const HttpRoute& route);

  // Every request received so far, oldest first.
  std::vector<RecordedRequest> Requests() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace quilltest
