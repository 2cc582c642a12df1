#include "net/package_info.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>

#include "tests/net/odd_json_documents.h"
#include "tests/support/status_printing.h"
#include "tools/test_http_server/test_http_server.h"

namespace rerozadez {
namespace {

using quilltest::HttpRoute;
using quilltest::TestHttpServer;

// Where the service answers.
const char kServicePath[] = "/adpserver/GetVIByAKFWPC";

const char kGoodReply[] =
    "{\"RES\":\"SUCCESS\",\"VerName\":\"3.2.1\","
    "\"DownloadURL\":\"http://127.0.0.1:9/Quillnest_SetUp.exe\","
    "\"Size\":\"123456\",\"FPMD5\":\"0123456789abcdef0123456789abcdef\"}";

const char kOkHeaders[] = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n\r\n";

TEST(PackageInfoUrl, ChannelEmptyOrExactlyTrialIsSentAsNull) {
  EXPECT_EQ(ChannelKeyValue(""), "null");
  EXPECT_EQ(ChannelKeyValue("Trial"), "null");
  EXPECT_EQ(ChannelKeyValue("trial"), "trial");
  EXPECT_EQ(ChannelKeyValue("TRIAL"), "TRIAL");
  EXPECT_EQ(ChannelKeyValue("Trial2"), "Trial2");
  EXPECT_EQ(ChannelKeyValue(" Trial"), " Trial");
  EXPECT_EQ(ChannelKeyValue("a&b c"), "a&b c");
}

Status Parse(const std::string& body, PackageInfo* info, const std::string& headers = kOkHeaders) {
  return ParsePackageInfoReply(headers, body, info);
}

TEST(PackageInfoReply, PrettyPrintedReplyPasses) {
  PackageInfo info;
  ASSERT_TRUE(Parse("{\n  \"RES\" : \"SUCCESS\",\n  \"VerName\": \"3.2.1\",\n"
                    "  \"DownloadURL\": \"http://h/s.exe\",\n  \"Size\": \"12\"\n}\n \r\n",
                    &info)
                  .ok());
  EXPECT_EQ(info.verName, "3.2.1");
  EXPECT_EQ(info.downloadUrl, "http://h/s.exe");
  EXPECT_EQ(info.size, "12");
}

TEST(PackageInfoReply, CompleteReplyGivesTheFourTexts) {
  PackageInfo info;
  ASSERT_TRUE(Parse(kGoodReply, &info).ok());
  EXPECT_EQ(info.verName, "3.2.1");
  EXPECT_EQ(info.downloadUrl, "http://127.0.0.1:9/Quillnest_SetUp.exe");
  EXPECT_EQ(info.size, "123456");
  EXPECT_EQ(info.fpmd5, "0123456789abcdef0123456789abcdef");
}

// A reply whose RES is "SUCCESS", with the given members after it.
std::string Success(const std::string& members) {
  return R"({"RES":"SUCCESS",)" + members + "}";
}

// Each refusal ends at its own step, with the status line's number or why
// the member cannot be used.
TEST(PackageInfoReply, EachRefusalNamesItsStep) {
  using S = StatusStep;
  const std::string ok = kOkHeaders;
  const std::string good = kGoodReply;
  const struct {
    std::string headers, body;
    StatusStep step;
    unsigned long code;  // the HTTP status for kReplyStatus
    const char* detail;  // null: not asserted
  } cases[] = {
      // Status other than 200 OK, with a body that would pass.
      {"HTTP/1.1 500 Internal Server Error\r\n\r\n", good, S::kReplyStatus, 500, nullptr},
      {"HTTP/1.1 200 Fine\r\n\r\n", good, S::kReplyStatus, 200, "HTTP/1.1 200 Fine"},
      {"garbage", good, S::kReplyStatus, 0, "garbage"},
      // The parsed RES member decides, not the text "SUCCESS" elsewhere.
      {ok, R"({"RES":"FAILED","VerName":"1","DownloadURL":"u","Size":"1"})", S::kReplyNotSuccess, 0,
       "FAILED"},
      {ok, R"({"RES":"FAILED","NOTRES":"SUCCESS","VerName":"1","DownloadURL":"u"})",
       S::kReplyNotSuccess, 0, "FAILED"},
      {ok, R"({"RES":["SUCCESS"],"VerName":"1","DownloadURL":"u","Size":"1"})", S::kReplyNotSuccess,
       0, "not a text"},
      // Three members are too few even with both required ones present.
      {ok, Success(R"("VerName":"1","DownloadURL":"u")"), S::kReplyTooFewMembers, 0, "3 members"},
      // Not JSON, not an object, or text after the object.
      {ok, R"(RES":"SUCCESS" but no JSON)", S::kReplyNotJson, 0, nullptr},
      {ok, R"({"RES":"SUCCESS","VerName":"1","DownloadURL":"u",)", S::kReplyNotJson, 0, nullptr},
      {ok, R"(["RES\":\"SUCCESS\"",1,2,3,4])", S::kReplyNotJson, 0, "not an object"},
      {ok, R"([{"RES":"SUCCESS"},1,2,3,4])", S::kReplyNotJson, 0, "not an object"},
      {ok, good + "x", S::kReplyNotJson, 0, nullptr},
      {ok, good + "{}", S::kReplyNotJson, 0, nullptr},
      {ok, good + std::string(1, '\0') + "x", S::kReplyNotJson, 0, nullptr},
      // Required members empty, absent or null; members of a type that is no text.
      {ok, Success(R"("VerName":"","DownloadURL":"u","Size":"1")"), S::kReplyVersion, 0, "empty"},
      {ok, Success(R"("VerName":"1","DownloadURL":"","Size":"1")"), S::kReplyAddress, 0, "empty"},
      {ok, Success(R"("DownloadURL":"u","Size":"1","FPMD5":"m")"), S::kReplyVersion, 0, "missing"},
      {ok, Success(R"("VerName":"1","Size":"1","FPMD5":"m")"), S::kReplyAddress, 0, "missing"},
      {ok, Success(R"("VerName":null,"DownloadURL":"u","Size":"1")"), S::kReplyVersion, 0,
       "missing"},
      {ok, Success(R"("VerName":2,"DownloadURL":"u","Size":"1")"), S::kReplyVersion, 0,
       "wrong type"},
      {ok, Success(R"("VerName":"1","DownloadURL":[],"Size":"1")"), S::kReplyAddress, 0,
       "wrong type"},
      {ok, Success(R"("VerName":"1","DownloadURL":"u","Size":123456)"), S::kReplySize, 0,
       "wrong type"},
      {ok, Success(R"("VerName":"1","DownloadURL":"u","Size":-1.5)"), S::kReplySize, 0,
       "wrong type"},
      {ok, Success(R"("VerName":"1","DownloadURL":"u","Size":["1"])"), S::kReplySize, 0,
       "wrong type"},
      {ok, Success(R"("VerName":"1","DownloadURL":"u","FPMD5":{"a":"b"})"), S::kReplyDigest, 0,
       "wrong type"},
      {ok, Success(R"("VerName":"1","DownloadURL":"u","FPMD5":18446744073709551615)"),
       S::kReplyDigest, 0, "wrong type"},
  };
  for (const auto& c : cases) {
    PackageInfo info;
    const Status status = Parse(c.body, &info, c.headers);
    EXPECT_EQ(status.step, c.step) << status << "\n" << c.body;
    EXPECT_EQ(status.code, c.code) << status;
    if (c.detail != nullptr) {
      EXPECT_EQ(status.detail, c.detail) << c.body;
    }
  }
}

TEST(PackageInfoReply, SizeAndDigestMayBeAbsentOrNull) {
  PackageInfo info;
  info.size = "stale";
  info.fpmd5 = "stale";
  ASSERT_TRUE(
      Parse("{\"RES\":\"SUCCESS\",\"VerName\":\"1.0\",\"DownloadURL\":\"u\",\"X\":1}", &info).ok());
  EXPECT_EQ(info.verName, "1.0");
  EXPECT_EQ(info.downloadUrl, "u");
  EXPECT_EQ(info.size, "");
  EXPECT_EQ(info.fpmd5, "");

  ASSERT_TRUE(Parse("{\"RES\":\"SUCCESS\",\"VerName\":\"1.0\",\"DownloadURL\":\"u\","
                    "\"Size\":null,\"FPMD5\":true}",
                    &info)
                  .ok());
  EXPECT_EQ(info.size, "");
  EXPECT_EQ(info.fpmd5, "true");
}

// The table is in tests/net/odd_json_documents.h; a reply nested deeper than
// the reader goes must fail the reply, not end the process.
TEST(PackageInfoReply, OddDocumentsGetJsoncppsVerdicts) {
  for (const quilltest::OddDocument& odd : quilltest::OddDocuments()) {
    PackageInfo info;
    const Status status = Parse(quilltest::ReplyWith(odd.member), &info);
    EXPECT_EQ(odd.accepted, status.ok()) << odd.name;
    if (!odd.accepted) {
      EXPECT_EQ(status.step, StatusStep::kReplyNotJson) << odd.name << ": " << status;
    }
  }
}

TEST(PackageInfoReply, ControlCharactersInAnyOfTheFourTextsFail) {
  const struct {
    const char* name;
    StatusStep step;
  } members[] = {{"VerName", StatusStep::kReplyVersion},
                 {"DownloadURL", StatusStep::kReplyAddress},
                 {"Size", StatusStep::kReplySize},
                 {"FPMD5", StatusStep::kReplyDigest}};
  // Escaped and raw line breaks, an escaped NUL, a tab, DEL.
  const std::string breaks[] = {"\\r\\nX-Injected: 1", "\r\n", "\\u0000.exe", "\t", "\x7f"};
  for (const auto& member : members) {
    for (const std::string& text : breaks) {
      std::string body =
          "{\"RES\":\"SUCCESS\",\"VerName\":\"1\",\"DownloadURL\":\"u\","
          "\"Size\":\"1\",\"FPMD5\":\"m\"}";
      std::string key = std::string("\"") + member.name + "\":\"";
      body.insert(body.find(key) + key.size() + 1, text);
      PackageInfo info;
      const Status status = Parse(body, &info);
      EXPECT_EQ(status.step, member.step) << body;
      EXPECT_EQ(status.detail, "control character") << body;
    }
  }
}

// The query against the test server on a free loopback port.
class PackageInfoQueryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Start());
    Reply(kGoodReply);
  }

  void Reply(const std::string& body, int status = 200) {
    HttpRoute route;
    route.status = status;
    route.contentType = "application/json;charset=UTF-8";
    route.body = body;
    server_.SetRoute(kServicePath, route);
  }

  Status Query() {
    verName_ = downloadUrl_ = size_ = fpmd5_ = "stale";
    return QueryPackageInfo(server_.BaseUrl(), channel_, verName_, downloadUrl_, size_, fpmd5_);
  }

  // The ChannelKey value the service received, the last of its query.
  std::string SentChannel() {
    std::vector<quilltest::RecordedRequest> requests = server_.Requests();
    const std::string target = requests.empty() ? std::string() : requests.back().target;
    const size_t at = target.rfind("&ChannelKey=");
    return at == std::string::npos ? "(no ChannelKey in " + target + ")" : target.substr(at + 12);
  }

  TestHttpServer server_;
  std::string channel_;
  std::string verName_, downloadUrl_, size_, fpmd5_;
};

TEST_F(PackageInfoQueryTest, GoodReplyFillsTheFourTexts) {
  channel_ = "";
  ASSERT_TRUE(Query().ok());
  EXPECT_EQ(verName_, "3.2.1");
  EXPECT_EQ(downloadUrl_, "http://127.0.0.1:9/Quillnest_SetUp.exe");
  EXPECT_EQ(size_, "123456");
  EXPECT_EQ(fpmd5_, "0123456789abcdef0123456789abcdef");
  std::vector<quilltest::RecordedRequest> requests = server_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "GET");
  const std::string query = std::string(kServicePath) + "?";
  EXPECT_EQ(requests[0].target.compare(0, query.size(), query), 0) << requests[0].target;
  EXPECT_EQ(SentChannel(), "null");
}

TEST_F(PackageInfoQueryTest, ChannelRuleDecidesTheLastQueryValue) {
  const struct {
    const char* channel;
    const char* sent;
  } cases[] = {
      {"Trial", "null"},     // exactly Trial
      {"trial", "trial"},    // differs only in case
      {"Trial2", "Trial2"},  // only begins with Trial
      {"a&b=c", "a&b=c"},    // not escaped
      // ANSI bytes above 0x7F go as WinINet's ANSI calls sent them.
      {"\xc4\xe3\xba\xc3", "\xc4\xe3\xba\xc3"},
  };
  for (const auto& c : cases) {
    channel_ = c.channel;
    EXPECT_TRUE(Query().ok()) << c.sent;
    EXPECT_EQ(SentChannel(), c.sent);
  }
}

TEST_F(PackageInfoQueryTest, ChannelWithBlanksIsEscapedOnlyByWinInet) {
  channel_ = "a b&c";
  // WinINet turns the blank into %20, which keeps the request line valid;
  // the "&" stays as it is.
  ASSERT_TRUE(Query().ok());
  EXPECT_EQ(SentChannel(), "a%20b&c");
}

// The query's own failures and the reply's, the outputs left as they were.
// An error status outranks an empty body: a 407 whose page the proxy-
// credentials dialog read comes so.
TEST_F(PackageInfoQueryTest, EachFailureEndsAtItsStepWithTheOutputsUntouched) {
  const struct {
    int status;
    std::string body;
    StatusStep step;
    unsigned long code;
  } cases[] = {
      {500, kGoodReply, StatusStep::kReplyStatus, 500},
      {407, "", StatusStep::kReplyStatus, 407},
      {200, "", StatusStep::kHttpEmptyBody, 200},
      {200, R"({"RES":"SUCCESS","VerName":"1","DownloadURL":"u","Size":{"n":1}})",
       StatusStep::kReplySize, 0},
      {200,
       R"({"RES":"SUCCESS","VerName":"1","Size":"1","FPMD5":"m",)"
       R"("DownloadURL":"http://127.0.0.1:9/a.exe\r\nHost: elsewhere"})",
       StatusStep::kReplyAddress, 0},
  };
  for (const auto& c : cases) {
    Reply(c.body, c.status);
    const Status status = Query();
    EXPECT_EQ(status.step, c.step) << status;
    EXPECT_EQ(status.code, c.code) << status;
    EXPECT_EQ(verName_ + downloadUrl_ + size_ + fpmd5_, "stalestalestalestale");
  }
}

TEST_F(PackageInfoQueryTest, NoServiceFailsToSend) {
  server_.Stop();
  const Status status = Query();
  EXPECT_EQ(status.step, StatusStep::kHttpSendRequest) << status;
  EXPECT_EQ(status.code, static_cast<unsigned long>(ERROR_INTERNET_CANNOT_CONNECT));
}

}  // namespace
}  // namespace rerozadez
