#include "net/package_info.h"

#include <gtest/gtest.h>

#include "tests/net/odd_json_documents.h"
#include "tools/test_http_server/test_http_server.h"

namespace rerozadez {
namespace {

using quilltest::HttpRoute;
using quilltest::TestHttpServer;

const char kFixedQuery[] =
    "/adpserver/GetVIByAKFWPC?SDKVer=0&ReqType=WindowsPC&AppKey=QZTRWVX83LMA"
    "&AppVerCode=1&AppVerName=1&ChannelKey=";

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

TEST(PackageInfoUrl, FixedQueryInOrderWithTheChannelLast) {
  EXPECT_EQ(BuildPackageInfoUrl("http://host:81", "store7"),
            std::string("http://host:81") + kFixedQuery + "store7");
  EXPECT_EQ(BuildPackageInfoUrl("http://host", ""),
            std::string("http://host") + kFixedQuery + "null");
}

bool Parse(const std::string& body, PackageInfo* info, const std::string& headers = kOkHeaders) {
  return ParsePackageInfoReply(headers, body, info);
}

TEST(PackageInfoReply, PrettyPrintedReplyPasses) {
  PackageInfo info;
  ASSERT_TRUE(
      Parse("{\n  \"RES\" : \"SUCCESS\",\n  \"VerName\": \"3.2.1\",\n"
            "  \"DownloadURL\": \"http://h/s.exe\",\n  \"Size\": \"12\"\n}\n",
            &info));
  EXPECT_EQ(info.verName, "3.2.1");
  EXPECT_EQ(info.downloadUrl, "http://h/s.exe");
  EXPECT_EQ(info.size, "12");
}

TEST(PackageInfoReply, CompleteReplyGivesTheFourTexts) {
  PackageInfo info;
  ASSERT_TRUE(Parse(kGoodReply, &info));
  EXPECT_EQ(info.verName, "3.2.1");
  EXPECT_EQ(info.downloadUrl, "http://127.0.0.1:9/Quillnest_SetUp.exe");
  EXPECT_EQ(info.size, "123456");
  EXPECT_EQ(info.fpmd5, "0123456789abcdef0123456789abcdef");
}

TEST(PackageInfoReply, EachJudgementFailsOnItsOwn) {
  PackageInfo info;
  // Status other than 200 OK, with a body that would pass.
  EXPECT_FALSE(Parse(kGoodReply, &info, "HTTP/1.1 500 Internal Server Error\r\n\r\n"));
  EXPECT_FALSE(Parse(kGoodReply, &info, "HTTP/1.1 200 Fine\r\n\r\n"));
  // The parsed RES member decides, not the text "SUCCESS" elsewhere.
  EXPECT_FALSE(
      Parse("{\"RES\":\"FAILED\",\"VerName\":\"1\",\"DownloadURL\":\"u\",\"Size\":\"1\"}", &info));
  EXPECT_FALSE(
      Parse("{\"RES\":\"FAILED\",\"NOTRES\":\"SUCCESS\",\"VerName\":\"1\",\"DownloadURL\":\"u\"}",
            &info));
  EXPECT_FALSE(Parse(
      "{\"RES\":[\"SUCCESS\"],\"VerName\":\"1\",\"DownloadURL\":\"u\",\"Size\":\"1\"}", &info));
  // Three members are too few even with both required ones present.
  EXPECT_FALSE(Parse("{\"RES\":\"SUCCESS\",\"VerName\":\"1\",\"DownloadURL\":\"u\"}", &info));
  // Not JSON, or not an object.
  EXPECT_FALSE(Parse("RES\":\"SUCCESS\" but no JSON", &info));
  EXPECT_FALSE(Parse("{\"RES\":\"SUCCESS\",\"VerName\":\"1\",\"DownloadURL\":\"u\",", &info));
  EXPECT_FALSE(Parse("[\"RES\\\":\\\"SUCCESS\\\"\",1,2,3,4]", &info));
  EXPECT_FALSE(Parse("[{\"RES\":\"SUCCESS\"},1,2,3,4]", &info));
  // Required members empty or absent.
  EXPECT_FALSE(
      Parse("{\"RES\":\"SUCCESS\",\"VerName\":\"\",\"DownloadURL\":\"u\",\"Size\":\"1\"}", &info));
  EXPECT_FALSE(
      Parse("{\"RES\":\"SUCCESS\",\"VerName\":\"1\",\"DownloadURL\":\"\",\"Size\":\"1\"}", &info));
  EXPECT_FALSE(
      Parse("{\"RES\":\"SUCCESS\",\"DownloadURL\":\"u\",\"Size\":\"1\",\"FPMD5\":\"m\"}", &info));
  EXPECT_FALSE(
      Parse("{\"RES\":\"SUCCESS\",\"VerName\":\"1\",\"Size\":\"1\",\"FPMD5\":\"m\"}", &info));
}

TEST(PackageInfoReply, SizeAndDigestMayBeAbsentOrNull) {
  PackageInfo info;
  info.size = "stale";
  info.fpmd5 = "stale";
  ASSERT_TRUE(
      Parse("{\"RES\":\"SUCCESS\",\"VerName\":\"1.0\",\"DownloadURL\":\"u\",\"X\":1}", &info));
  EXPECT_EQ(info.verName, "1.0");
  EXPECT_EQ(info.downloadUrl, "u");
  EXPECT_EQ(info.size, "");
  EXPECT_EQ(info.fpmd5, "");

  ASSERT_TRUE(
      Parse("{\"RES\":\"SUCCESS\",\"VerName\":\"1.0\",\"DownloadURL\":\"u\","
            "\"Size\":null,\"FPMD5\":true}",
            &info));
  EXPECT_EQ(info.size, "");
  EXPECT_EQ(info.fpmd5, "true");
}

TEST(PackageInfoReply, MembersOfNonTextTypesFailInsteadOfEndingTheProcess) {
  const char* badMembers[] = {
      "\"Size\":123456",         "\"Size\":1.5", "\"Size\":[\"1\"]",
      "\"FPMD5\":{\"a\":\"b\"}", "\"Size\":-1",  "\"FPMD5\":18446744073709551615",
  };
  for (const char* member : badMembers) {
    PackageInfo info;
    std::string body =
        std::string("{\"RES\":\"SUCCESS\",\"VerName\":\"1\",\"DownloadURL\":\"u\",") + member + "}";
    EXPECT_FALSE(Parse(body, &info)) << body;
  }
  PackageInfo info;
  EXPECT_FALSE(
      Parse("{\"RES\":\"SUCCESS\",\"VerName\":2,\"DownloadURL\":\"u\",\"Size\":\"1\"}", &info));
  EXPECT_FALSE(
      Parse("{\"RES\":\"SUCCESS\",\"VerName\":\"1\",\"DownloadURL\":[],\"Size\":\"1\"}", &info));
  EXPECT_FALSE(
      Parse("{\"RES\":\"SUCCESS\",\"VerName\":null,\"DownloadURL\":\"u\",\"Size\":\"1\"}", &info));
}

TEST(PackageInfoReply, TextAfterTheObjectFails) {
  PackageInfo info;
  EXPECT_TRUE(Parse(std::string(kGoodReply) + " \r\n", &info));
  EXPECT_FALSE(Parse(std::string(kGoodReply) + "x", &info));
  EXPECT_FALSE(Parse(std::string(kGoodReply) + "{}", &info));
  EXPECT_FALSE(Parse(std::string(kGoodReply) + std::string(1, '\0') + "x", &info));
}

// The table is in tests/net/odd_json_documents.h; a reply nested too deep
// makes jsoncpp throw, which must fail the reply, not end the process.
TEST(PackageInfoReply, OddDocumentsGetJsoncppsVerdicts) {
  for (const quilltest::OddDocument& odd : quilltest::OddDocuments()) {
    PackageInfo info;
    EXPECT_EQ(odd.accepted, Parse(quilltest::ReplyWith(odd.member), &info)) << odd.name;
  }
}

TEST(PackageInfoReply, ControlCharactersInAnyOfTheFourTextsFail) {
  const char* members[] = {"VerName", "DownloadURL", "Size", "FPMD5"};
  // Escaped and raw line breaks, an escaped NUL, a tab, DEL.
  const std::string breaks[] = {"\\r\\nX-Injected: 1", "\r\n", "\\u0000.exe", "\t", "\x7f"};
  for (const char* member : members) {
    for (const std::string& text : breaks) {
      std::string body =
          "{\"RES\":\"SUCCESS\",\"VerName\":\"1\",\"DownloadURL\":\"u\","
          "\"Size\":\"1\",\"FPMD5\":\"m\"}";
      std::string key = std::string("\"") + member + "\":\"";
      body.insert(body.find(key) + key.size() + 1, text);
      PackageInfo info;
      EXPECT_FALSE(Parse(body, &info)) << body;
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
    server_.SetRoute("/adpserver/GetVIByAKFWPC", route);
  }

  bool Query() {
    verName_ = downloadUrl_ = size_ = fpmd5_ = "stale";
    return QueryPackageInfo(server_.BaseUrl(), channel_, verName_, downloadUrl_, size_, fpmd5_);
  }

  // The request target of the one request the query sent.
  std::string SentTarget() {
    std::vector<quilltest::RecordedRequest> requests = server_.Requests();
    EXPECT_EQ(requests.size(), 1u);
    return requests.empty() ? std::string() : requests.back().target;
  }

  TestHttpServer server_;
  std::string channel_;
  std::string verName_, downloadUrl_, size_, fpmd5_;
};

TEST_F(PackageInfoQueryTest, GoodReplyFillsTheFourTexts) {
  channel_ = "";
  ASSERT_TRUE(Query());
  EXPECT_EQ(verName_, "3.2.1");
  EXPECT_EQ(downloadUrl_, "http://127.0.0.1:9/Quillnest_SetUp.exe");
  EXPECT_EQ(size_, "123456");
  EXPECT_EQ(fpmd5_, "0123456789abcdef0123456789abcdef");
  std::vector<quilltest::RecordedRequest> requests = server_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].target, std::string(kFixedQuery) + "null");
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
  };
  for (const auto& c : cases) {
    channel_ = c.channel;
    EXPECT_TRUE(Query()) << c.sent;
    std::vector<quilltest::RecordedRequest> requests = server_.Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().target, std::string(kFixedQuery) + c.sent);
  }
}

TEST_F(PackageInfoQueryTest, ChannelWithBlanksIsEscapedOnlyByTheUrlSplit) {
  channel_ = "a b&c";
  EXPECT_EQ(BuildPackageInfoUrl("http://h", "a b&c"),
            std::string("http://h") + kFixedQuery + "a b&c");
  // WinINet's split (ICU_ESCAPE) turns the blank into %20, which keeps the
  // request line valid; the "&" stays as it is.
  ASSERT_TRUE(Query());
  EXPECT_EQ(SentTarget(), std::string(kFixedQuery) + "a%20b&c");
}

TEST_F(PackageInfoQueryTest, ErrorStatusWithAGoodBodyFails) {
  Reply(kGoodReply, 500);
  EXPECT_FALSE(Query());
}

TEST_F(PackageInfoQueryTest, EmptyBodyFails) {
  Reply("");
  EXPECT_FALSE(Query());
}

TEST_F(PackageInfoQueryTest, NonTextMemberFailsTheQuery) {
  Reply("{\"RES\":\"SUCCESS\",\"VerName\":\"1\",\"DownloadURL\":\"u\",\"Size\":{\"n\":1}}");
  EXPECT_FALSE(Query());
}

TEST_F(PackageInfoQueryTest, DownloadAddressWithALineBreakFails) {
  Reply(
      "{\"RES\":\"SUCCESS\",\"VerName\":\"1\",\"Size\":\"1\",\"FPMD5\":\"m\","
      "\"DownloadURL\":\"http://127.0.0.1:9/a.exe\\r\\nHost: elsewhere\"}");
  EXPECT_FALSE(Query());
}

TEST_F(PackageInfoQueryTest, NoServiceFails) {
  server_.Stop();
  EXPECT_FALSE(Query());
}

}  // namespace
}  // namespace rerozadez
