#include "net/http_client.h"

#include <gtest/gtest.h>
#include <wininet.h>

#include "tests/support/status_printing.h"
#include "tools/test_http_server/test_http_server.h"

namespace rerozadez {
namespace {

using quilltest::HttpRoute;
using quilltest::RecordedRequest;
using quilltest::TestHttpServer;

class HttpClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Start());
    HttpRoute route;
    route.contentType = "application/json";
    route.body = "{\"a\":1}";
    server_.SetRoute("/x", route);
  }

  // Sends one request to the server; its status.
  Status Send(const std::string& path, const std::string& data, const char* method,
              DWORD receiveTimeoutMs = 10000) {
    return GetHttpClient()->SendRequest(server_.BaseUrl() + path, data, method, body_, headers_,
                                        10000, receiveTimeoutMs);
  }

  RecordedRequest OnlyRequest() {
    std::vector<RecordedRequest> requests = server_.Requests();
    EXPECT_EQ(requests.size(), 1u);
    return requests.empty() ? RecordedRequest() : requests.front();
  }

  TestHttpServer server_;
  std::string body_ = "stale";
  std::string headers_ = "stale";
};

TEST_F(HttpClientTest, GetPayloadBecomesTheQueryWithoutBodyOrContentType) {
  ASSERT_TRUE(Send("/x", "a=1", "GET").ok());
  EXPECT_EQ(body_, "{\"a\":1}");
  EXPECT_EQ(headers_.compare(0, 17, "HTTP/1.1 200 OK\r\n"), 0) << headers_;
  EXPECT_NE(headers_.find("Content-Type: application/json\r\n"), std::string::npos);
  EXPECT_EQ(headers_.substr(headers_.size() - 4), "\r\n\r\n");

  RecordedRequest request = OnlyRequest();
  EXPECT_EQ(request.method, "GET");
  EXPECT_EQ(request.target, "/x?a=1");
  EXPECT_EQ(request.version, "HTTP/1.0");
  EXPECT_FALSE(request.HasHeader("Content-Type"));
  EXPECT_TRUE(request.body.empty());
}

TEST_F(HttpClientTest, SendsOneOfEachHeaderAndAsksCachesNotToAnswer) {
  ASSERT_TRUE(Send("/x", "", "GET").ok());
  RecordedRequest request = OnlyRequest();
  EXPECT_EQ(request.target, "/x");
  // A caching proxy must ask the service.
  EXPECT_EQ(request.Header("Pragma"), "no-cache");
  EXPECT_EQ(request.Header("Cache-Control"), "no-cache");
  EXPECT_EQ(request.Header("Host"), "127.0.0.1:" + std::to_string(server_.Port()));
  // Nothing else and nothing twice: one Accept header, no Content-Type, no
  // Referer for the empty referrer.
  std::string names;
  for (const auto& header : request.headers)
    names += header.first + ";";
  EXPECT_EQ(names,
            "Accept;Accept-Language;Cache-Control;Connection;Cookie;Host;Pragma;User-Agent;");
}

TEST_F(HttpClientTest, OneCharacterPayloadIsABodyWithoutContentTypeEvenForGet) {
  // The server reads no body of a GET; its length shows it was sent.
  ASSERT_TRUE(Send("/x", "a", "GET").ok());
  RecordedRequest get = OnlyRequest();
  EXPECT_EQ(get.target, "/x");
  EXPECT_EQ(get.Header("Content-Length"), "1");
  EXPECT_FALSE(get.HasHeader("Content-Type"));

  ASSERT_TRUE(Send("/y", "b", "POST").ok());
  std::vector<RecordedRequest> requests = server_.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].target, "/y");
  EXPECT_EQ(requests[1].body, "b");
  EXPECT_FALSE(requests[1].HasHeader("Content-Type"));
}

TEST_F(HttpClientTest, OtherMethodsSendTheFormPayloadAsBody) {
  ASSERT_TRUE(Send("/x", "k=v&n=2", "POST").ok());
  RecordedRequest request = OnlyRequest();
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.target, "/x");
  EXPECT_EQ(request.body, "k=v&n=2");
  EXPECT_EQ(request.Header("Content-Type"), "application/x-www-form-urlencoded");
}

TEST(HttpClientPayloadRule, GetIsRecognisedInAnyCaseByItsFirstThreeLetters) {
  EXPECT_TRUE(IsGetMethod("GET"));
  EXPECT_TRUE(IsGetMethod("get"));
  EXPECT_TRUE(IsGetMethod("gEt"));
  EXPECT_TRUE(IsGetMethod("GETX"));
  EXPECT_FALSE(IsGetMethod("GE"));
  EXPECT_FALSE(IsGetMethod("POST"));
  EXPECT_FALSE(IsGetMethod("SET"));
  EXPECT_FALSE(IsGetMethod(nullptr));

  std::string url = "http://h/x";
  std::string data = "a=1";
  MoveGetPayloadIntoUrl("gEt", &url, &data);
  EXPECT_EQ(url, "http://h/x?a=1");
  EXPECT_EQ(data, "");

  url = "http://h/x";
  data = "a";
  MoveGetPayloadIntoUrl("GET", &url, &data);
  EXPECT_EQ(url, "http://h/x");
  EXPECT_EQ(data, "a");

  data = "a=1";
  MoveGetPayloadIntoUrl("PUT", &url, &data);
  EXPECT_EQ(url, "http://h/x");
  EXPECT_EQ(data, "a=1");

  // An existing query is not looked for.
  url = "http://h/x?b=2";
  MoveGetPayloadIntoUrl("GET", &url, &data);
  EXPECT_EQ(url, "http://h/x?b=2?a=1");
}

TEST_F(HttpClientTest, ErrorStatusIsNotJudgedHere) {
  ASSERT_TRUE(Send("/missing", "", "GET").ok());
  EXPECT_EQ(headers_.compare(0, 22, "HTTP/1.1 404 Not Found"), 0) << headers_;
  EXPECT_NE(body_.find("404"), std::string::npos);
}

TEST_F(HttpClientTest, EmptyBodyFailsWithTheReplyStatusAndKeepsTheHeaders) {
  HttpRoute empty;
  server_.SetRoute("/empty", empty);
  const Status status = Send("/empty", "", "GET");
  EXPECT_EQ(status.step, StatusStep::kHttpEmptyBody) << status;
  EXPECT_EQ(status.code, 200u);
  EXPECT_EQ(body_, "");
  EXPECT_EQ(headers_.compare(0, 15, "HTTP/1.1 200 OK"), 0) << headers_;
}

// A body past the limit is no reply: refused, and none of it kept.
TEST_F(HttpClientTest, BodyPastTheLimitIsRefusedAndNotKept) {
  const struct {
    size_t bytes;
    bool kept;
  } cases[] = {{kMaxReplyBodyBytes, true}, {kMaxReplyBodyBytes + 1, false}, {1 << 20, false}};
  for (const auto& each : cases) {
    HttpRoute route;
    route.body = std::string(each.bytes, '{');
    server_.SetRoute("/large", route);
    const Status status = Send("/large", "", "GET");
    EXPECT_EQ(each.kept ? StatusStep::kNone : StatusStep::kHttpBodyTooLarge, status.step) << status;
    EXPECT_EQ(each.kept ? each.bytes : 0u, body_.size());
  }
}

TEST_F(HttpClientTest, HeadersBeyondTheBufferFailAfterTheBodyWasRead) {
  HttpRoute route;
  route.body = "payload";
  route.headers.push_back({"X-Padding", std::string(2100, 'p')});
  server_.SetRoute("/big", route);
  const Status status = Send("/big", "", "GET");
  EXPECT_EQ(status.step, StatusStep::kHttpQueryHeaders) << status;
  EXPECT_EQ(status.code, static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(body_, "payload");
  EXPECT_EQ(headers_, "");
}

TEST_F(HttpClientTest, HeadersJustInsideTheBufferAreKept) {
  HttpRoute route;
  route.body = "payload";
  route.headers.push_back({"X-Padding", std::string(1800, 'p')});
  server_.SetRoute("/big", route);
  EXPECT_TRUE(Send("/big", "", "GET").ok());
  EXPECT_NE(headers_.find(std::string(1800, 'p') + "\r\n"), std::string::npos);
}

TEST_F(HttpClientTest, SilentServerEndsTheRequestAfterTheReceiveTimeout) {
  // A minute's silence after the first bytes of the body; without a receive
  // time-out the request waited all of it (and for ever on a longer one).
  HttpRoute route;
  route.body = "{\"a\":1}";
  route.stallAfterBytes = 3;
  route.stallMilliseconds = 60000;
  server_.SetRoute("/silent", route);
  DWORD started = GetTickCount();
  const Status status = Send("/silent", "", "GET", 1000);
  EXPECT_LT(GetTickCount() - started, 20000u);
  // WinINet drops what the timed-out read had buffered; the read's failure
  // is the code.
  EXPECT_EQ(body_, "");
  EXPECT_EQ(status.step, StatusStep::kHttpEmptyBody) << status;
  EXPECT_EQ(status.codeKind, CodeKind::kWindows);
}

TEST_F(HttpClientTest, ClosedPortFailsToSend) {
  int port = server_.Port();
  server_.Stop();
  std::string body, headers;
  const Status status = GetHttpClient()->SendRequest(
      "http://127.0.0.1:" + std::to_string(port) + "/x", "", "GET", body, headers, 10000, 10000);
  EXPECT_EQ(status.step, StatusStep::kHttpSendRequest) << status;
  EXPECT_EQ(status.code, static_cast<DWORD>(ERROR_INTERNET_CANNOT_CONNECT));
  EXPECT_EQ(body, "");
  EXPECT_EQ(headers, "");
}

TEST_F(HttpClientTest, AddressesThatAreNotWhatTheySayFailBeforeAnyRequest) {
  const std::string host = "http://127.0.0.1:" + std::to_string(server_.Port());
  for (const std::string& url :
       {std::string("not a url"), host + "/x?c=a\rX-Injected: 1", host + "/x?c=\x7f",
        std::string("http://127.0.0.1:0/x"), std::string("http://127.0.0.1:65536/x"),
        "ftp://127.0.0.1:" + std::to_string(server_.Port()) + "/x",
        host + "/x?c=" + std::string(2100, 'c')}) {
    body_ = headers_ = "stale";
    const Status status =
        GetHttpClient()->SendRequest(url, "", "GET", body_, headers_, 10000, 10000);
    EXPECT_EQ(status.step, StatusStep::kHttpCrackUrl) << url;
    EXPECT_EQ(body_, "");
    EXPECT_EQ(headers_, "");
  }
  EXPECT_TRUE(server_.Requests().empty());
}

TEST(HttpClientUrl, UrlWithoutPortUsesPortEightyAndHttpsIsNeverPlain) {
  // Port 80 may be taken on the machine; the case is then not observable.
  TestHttpServer server;
  if (!server.Start(80))
    GTEST_SKIP() << "port 80 is not free";
  HttpRoute route;
  route.body = "eighty";
  server.SetRoute("/p", route);
  std::string body, headers;
  EXPECT_TRUE(GetHttpClient()
                  ->SendRequest("http://127.0.0.1/p", "", "GET", body, headers, 10000, 10000)
                  .ok());
  EXPECT_EQ(body, "eighty");
  // An https address asks for TLS whatever its port; a plain server cannot
  // answer it.
  EXPECT_FALSE(GetHttpClient()
                   ->SendRequest("https://127.0.0.1:80/p", "", "GET", body, headers, 10000, 10000)
                   .ok());
  EXPECT_EQ(body, "");
  EXPECT_EQ(server.Requests().size(), 1u);
}

}  // namespace
}  // namespace rerozadez
