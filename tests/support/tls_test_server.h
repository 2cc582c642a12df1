#pragma once

#include <map>
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

// An HTTPS server on 127.0.0.1 for the tests: tools/test_tls_server (Python's
// ssl module), which Wine runs as the Linux program it is. Routes take
// HttpRoute's status, headers, body and closeAfterBytes. The server ends with
// this object, or with the test process if that dies.
class TestTlsServer {
 public:
  explicit TestTlsServer(TlsCertificate certificate = TlsCertificate::kLocalhost);
  ~TestTlsServer();  // ends the server, waiting up to 5 s for it to say so
  TestTlsServer(const TestTlsServer&) = delete;
  TestTlsServer& operator=(const TestTlsServer&) = delete;

  // Starts the server on a free port; false when it did not come up.
  bool Start();
  // "https://localhost:<port>"
  std::string BaseUrl() const;
  // Sets the reply for a path (without the query), from the next request on.
  void SetRoute(const std::string& path, const HttpRoute& route);
  // One line per request so far: "GET <target> Range=<value or ->".
  std::vector<std::string> Requests() const;

 private:
  TlsCertificate certificate_;
  ScratchDir folder_;
  std::map<std::string, HttpRoute> routes_;
  int port_ = 0;
};

}  // namespace quilltest
