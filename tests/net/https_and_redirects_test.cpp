// The package query and the download over TLS against a real HTTPS server on
// loopback, whose CA only the tests' Wine prefix trusts, and the download's
// redirects between plain and secure addresses.
#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>

#include "net/http_client.h"
#include "net/package_info.h"
#include "net/resumable_download.h"
#include "net/web_address.h"
#include "platform/pause.h"
#include "tests/support/status_printing.h"
#include "tests/support/test_files.h"
#include "tests/support/tls_test_server.h"
#include "tools/test_http_server/test_http_server.h"

namespace rerozadez {
namespace {

using quilltest::HttpRoute;
using quilltest::ReadFileBytes;
using quilltest::TestHttpServer;
using quilltest::TestTlsServer;
using quilltest::TlsCertificate;
using quilltest::WriteFileBytes;

std::wstring Wide(const std::string& text) {
  return std::wstring(text.begin(), text.end());
}

HttpRoute Redirect(int status, const std::string& location) {
  HttpRoute route;
  route.status = status;
  route.headers = {{"Location", location}};
  return route;
}

class HttpsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    content_.resize(300000);
    for (size_t i = 0; i < content_.size(); ++i)
      content_[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    ASSERT_TRUE(tls_.Start());
    ASSERT_TRUE(plain_.Start());
    path_ = dir_.File(L"setup.exe");
    // The end of a body is eleven empty reads; no need to sit through their pauses.
    SetPauseHook([](DWORD, void*) {}, nullptr);
  }
  void TearDown() override { SetPauseHook(nullptr, nullptr); }

  HttpRoute File(long long closeAfterBytes = -1) const {
    HttpRoute route;
    route.body = content_;
    route.closeAfterBytes = closeAfterBytes;
    return route;
  }

  // One pass of the download; its failed step, kNone when it ended well.
  StatusStep Download(const std::string& url) {
    WebAddress address;
    EXPECT_TRUE(ParseWebAddress(Wide(url), &address)) << url;
    const Status status =
        DownloadFile(DownloadControl(), address, path_, static_cast<int64_t>(content_.size()));
    return status.step;
  }

  std::string content_;
  TestTlsServer tls_;
  TestHttpServer plain_;
  quilltest::ScratchDir dir_;
  std::wstring path_;
};

TEST_F(HttpsTest, QueryAndADownloadResumedAcrossADroppedConnection) {
  HttpRoute reply;
  reply.body = "{\"RES\":\"SUCCESS\",\"VerName\":\"1.0.0.7\",\"DownloadURL\":\"" + tls_.BaseUrl() +
               "/setup.exe\",\"Size\":\"300000\",\"FPMD5\":\"\"}";
  tls_.SetRoute("/adpserver/GetVIByAKFWPC", reply);
  std::string version, address, size, digest;
  ASSERT_TRUE(QueryPackageInfo(tls_.BaseUrl(), "web", version, address, size, digest).ok());
  EXPECT_EQ(version, "1.0.0.7");

  tls_.SetRoute("/setup.exe", File(120000));
  EXPECT_EQ(Download(address), StatusStep::kNone);
  EXPECT_EQ(ReadFileBytes(path_).size(), 120000u);
  tls_.SetRoute("/setup.exe", File());
  EXPECT_EQ(Download(address), StatusStep::kNone);
  EXPECT_TRUE(ReadFileBytes(path_) == content_);
  const std::vector<std::string> requests = tls_.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[1], "GET /setup.exe Range=bytes=0-");
  EXPECT_EQ(requests[2], "GET /setup.exe Range=bytes=120000-");
}

// A certificate from a CA nobody trusts, or for another name: no request
// gets through, the query fails with WinINet's reason and the download
// writes nothing.
TEST(HttpsRefusal, UntrustedCertificateAndAnotherHostNameAreRefused) {
  const struct {
    TlsCertificate certificate;
    DWORD windowsError;
  } cases[] = {{TlsCertificate::kUntrusted, ERROR_INTERNET_SEC_CERT_REV_FAILED},
               {TlsCertificate::kOtherHost, ERROR_INTERNET_SEC_CERT_CN_INVALID}};
  for (const auto& c : cases) {
    TestTlsServer server(c.certificate);
    ASSERT_TRUE(server.Start());
    std::string body, headers;
    const Status query = GetHttpClient()->SendRequest(server.BaseUrl() + "/q", "", "GET", body,
                                                      headers, 10000, 10000);
    EXPECT_EQ(query.step, StatusStep::kHttpSendRequest) << query;
    EXPECT_EQ(query.code, c.windowsError);

    quilltest::ScratchDir dir;
    WebAddress address;
    ASSERT_TRUE(ParseWebAddress(Wide(server.BaseUrl() + "/setup.exe"), &address));
    const Status download = DownloadFile(DownloadControl(), address, dir.File(L"f"), 100);
    EXPECT_EQ(download.step, StatusStep::kDownloadSendRequest) << download;
    EXPECT_EQ(download.code, c.windowsError);
    EXPECT_EQ(ReadFileBytes(dir.File(L"f")), "");
    EXPECT_TRUE(server.Requests().empty());
  }
}

// The first pass gets part of the file from its plain address; then that
// address redirects to https, and the second pass's Range reaches the
// file's new home, whichever redirect status says so.
TEST_F(HttpsTest, ResumeRedirectedFromHttpToHttpsAsksTheNewHomeForTheRest) {
  tls_.SetRoute("/mirror/setup.exe", File());
  const std::string address = plain_.BaseUrl() + "/setup.exe";
  for (int status : {301, 302, 303, 307, 308}) {
    DeleteFileW(path_.c_str());
    plain_.SetRoute("/setup.exe", File(70000));
    EXPECT_EQ(Download(address), StatusStep::kNone);
    plain_.SetRoute("/setup.exe", Redirect(status, tls_.BaseUrl() + "/mirror/setup.exe"));
    EXPECT_EQ(Download(address), StatusStep::kNone) << status;
    EXPECT_TRUE(ReadFileBytes(path_) == content_) << status;
    EXPECT_EQ(tls_.Requests().back(), "GET /mirror/setup.exe Range=bytes=70000-") << status;
  }
}

// Redirects that would leave TLS, never end, or end at something that is not
// the file leave the partial file as it was; so does a query led from https
// to plain http.
TEST_F(HttpsTest, RedirectsThatCannotLeadToTheFileWriteNothing) {
  const std::string partial = content_.substr(0, 1000);
  plain_.SetRoute("/setup.exe", File());
  plain_.SetRoute("/loop", Redirect(302, "/loop"));
  plain_.SetRoute("/to-page", Redirect(307, "/page"));  // no route: 404
  tls_.SetRoute("/down", Redirect(302, plain_.BaseUrl() + "/setup.exe"));
  const struct {
    std::string url;
    StatusStep step;
  } cases[] = {{tls_.BaseUrl() + "/down", StatusStep::kDownloadRedirect},
               {plain_.BaseUrl() + "/loop", StatusStep::kDownloadRedirect},
               {plain_.BaseUrl() + "/to-page", StatusStep::kDownloadReplyStatus}};
  for (const auto& c : cases) {
    ASSERT_TRUE(WriteFileBytes(path_, partial));
    EXPECT_EQ(Download(c.url), c.step) << c.url;
    EXPECT_TRUE(ReadFileBytes(path_) == partial) << c.url;
  }
  int fileRequests = 0, loopRequests = 0;
  for (const auto& request : plain_.Requests()) {
    fileRequests += request.target == "/setup.exe" ? 1 : 0;
    loopRequests += request.target == "/loop" ? 1 : 0;
  }
  EXPECT_EQ(fileRequests, 0);
  EXPECT_EQ(loopRequests, 1 + kMaxRedirects);

  std::string body, headers;
  const Status query = GetHttpClient()->SendRequest(tls_.BaseUrl() + "/down", "", "GET", body,
                                                    headers, 10000, 10000);
  EXPECT_EQ(query.step, StatusStep::kHttpNotOverHttps) << query;
  EXPECT_EQ(query.code, static_cast<DWORD>(ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR));
}

// Addresses that are not what they say: nothing is requested and nothing
// written; a long one is sent whole. (The test server drops header values
// holding CR or LF, so a vertical tab stands for the control characters.)
TEST_F(HttpsTest, LocationWithAControlCharacterIsRefusedAndALongOneFollowedWhole) {
  plain_.SetRoute("/hop", Redirect(302, "/hop/a\vX-Injected: y"));
  const std::string longPath = "/" + std::string(1500, 'p');
  plain_.SetRoute("/long", Redirect(302, longPath));
  plain_.SetRoute(longPath, File());
  EXPECT_EQ(Download(plain_.BaseUrl() + "/hop"), StatusStep::kDownloadRedirect);
  EXPECT_EQ(ReadFileBytes(path_), "");
  EXPECT_EQ(Download(plain_.BaseUrl() + "/long"), StatusStep::kNone);
  EXPECT_TRUE(ReadFileBytes(path_) == content_);
  const std::vector<quilltest::RecordedRequest> requests = plain_.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].target, "/hop");
  EXPECT_EQ(requests[1].target, "/long");
  EXPECT_EQ(requests[2].target, longPath);
}

}  // namespace
}  // namespace rerozadez
