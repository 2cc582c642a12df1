#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/test_files.h"
#include "tools/test_http_server/test_http_server.h"

namespace quilltest {

// The certificates of issue-test-certificates.sh a server can present.
enum class TlsCertificate {
  kLocalhost,  // for localhost, from the CA the tests' prefix trusts
  kOtherHost,  // from that CA, for another host name
  kUntrusted,  // for localhost, from a CA nobody trusts
};

// An HTTPS server on 127.0.0.1 for the tests: test_tls_server.py (Python's
// ssl module) started from the test through Wine, which runs Linux programs
// too. Routes take HttpRoute's status, headers, body or bodyFile,
// honourRange and closeAfterBytes (no stalls). The server ends when this
// object goes away, or when the test process dies, since it watches this
// process.
class TestTlsServer {
 public:
  explicit TestTlsServer(TlsCertificate certificate = TlsCertificate::kLocalhost);
  ~TestTlsServer();  // ends the server and waits up to 5 s for it to say so
  TestTlsServer(const TestTlsServer&) = delete;
  TestTlsServer& operator=(const TestTlsServer&) = delete;

  // Starts the server on a free port; false when it did not come up.
  bool Start();
  // "https://localhost:<port>"
  std::string BaseUrl() const;

  // Sets the reply for a path (without the query); the server reads the
  // routes again for every request.
  void SetRoute(const std::string& path, const HttpRoute& route);

  // One line per request received so far: "GET <target> Range=<value or ->".
  std::vector<std::string> Requests() const;

 private:
  void WriteRoutes() const;

  TlsCertificate certificate_;
  ScratchDir folder_;
  std::vector<std::pair<std::string, HttpRoute>> routes_;
  int port_ = 0;
};

}  // namespace quilltest
