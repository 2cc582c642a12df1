#include "net/resumable_download.h"

#include "net/read_pacer.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>

#include <climits>
#include <cstdint>
#include <vector>

#include "net/read_pacer.h"
#include "platform/pause.h"
#include "platform/scoped.h"
#include "tests/support/status_printing.h"
#include "tests/support/test_files.h"
#include "tools/test_http_server/test_http_server.h"

namespace rerozadez {
namespace {

using quilltest::HttpRoute;
using quilltest::ReadFileBytes;
using quilltest::RecordedRequest;
using quilltest::ScratchDir;
using quilltest::TestHttpServer;
using quilltest::WriteFileBytes;

TEST(DownloadHeaders, OffsetsBeyondTwoGibibytesStayPositive) {
  std::wstring block = BuildDownloadHeaders(3221225472ULL);
  EXPECT_NE(block.find(L"\r\nRange:bytes=3221225472-\r\n\r\n"), std::wstring::npos);
  block = BuildDownloadHeaders(18446744073709551615ULL);
  EXPECT_NE(block.find(L"Range:bytes=18446744073709551615-"), std::wstring::npos);
}

TEST(DownloadAddress, OnlyBytesOutsideAsciiAreEscaped) {
  EXPECT_EQ(EscapeNonAsciiInUrl("http://h:81/a%20b c?x=1&y"), "http://h:81/a%20b c?x=1&y");
  EXPECT_EQ(EscapeNonAsciiInUrl("http://h/\xe5\xae\x89.exe"), "http://h/%E5%AE%89.exe");
}

TEST(DownloadPercent, TruncatesAndIsNotClamped) {
  EXPECT_EQ(DownloadPercent(0, 1000), 0);
  EXPECT_EQ(DownloadPercent(999, 1000), 99);
  EXPECT_EQ(DownloadPercent(1000, 1000), 100);
  EXPECT_EQ(DownloadPercent(1500, 1000), 150);
  EXPECT_EQ(DownloadPercent(3ULL << 30, 6LL << 30), 50);
  EXPECT_EQ(DownloadPercent((5ULL << 30) - 1, 5LL << 30), 99);
}

TEST(DownloadPercent, WholeFileIsHundredAndOneByteShortIsNinetyNineForEverySize) {
  // Floating point said 99 for whole files of 7, 14, 28 or 54670 bytes.
  for (int64_t size = 1; size <= 100000; ++size) {
    ASSERT_EQ(DownloadPercent(size, size), 100) << size;
    if (size >= 100) {
      ASSERT_EQ(DownloadPercent(size - 1, size), 99) << size;
    }
  }
  // Near 2^63, where 100 * bytes passes 2^64 and doubles lose the last digits.
  const int64_t hundredth = 92233720368547758LL;
  for (int64_t size : {INT64_MAX, INT64_MAX - 1, hundredth * 100, (1LL << 53) + 1}) {
    EXPECT_EQ(DownloadPercent(size, size), 100) << size;
    EXPECT_EQ(DownloadPercent(size - 1, size), 99) << size;
  }
  EXPECT_EQ(DownloadPercent(37 * hundredth, hundredth * 100), 37);
  EXPECT_EQ(DownloadPercent(37 * hundredth - 1, hundredth * 100), 36);
  EXPECT_EQ(DownloadPercent(UINT64_MAX, INT64_MAX), 200);
  EXPECT_EQ(DownloadPercent(UINT64_MAX, 1), INT_MAX);
}

TEST(DownloadPercent, UnknownTotalSizeGivesZero) {
  EXPECT_EQ(DownloadPercent(0, 0), 0);
  EXPECT_EQ(DownloadPercent(12345, 0), 0);
  EXPECT_EQ(DownloadPercent(12345, -1), 0);
}

// A read asks for what the line brings in a tenth of a second (a few
// kilobytes at 32 KiB/s, the whole buffer on loopback), never less than what
// has arrived, only that before the line's speed is known.
TEST(ReadPacer, AsksForWhatTheLineBringsInATenthOfASecond) {
  const struct {
    DWORD bytesPerRead, msPerRead, least, most;
  } lines[] = {{3277, 100, 3000, 4000}, {16384, 1, kMaxReadBytes, kMaxReadBytes}};
  for (const auto& line : lines) {
    ReadPacer pacer(0);
    EXPECT_EQ(8192u, pacer.NextRead(8192));
    for (DWORD now = line.msPerRead; now <= 1000; now += line.msPerRead)
      pacer.Received(line.bytesPerRead, now);
    EXPECT_GE(pacer.NextRead(1), line.least) << line.bytesPerRead;
    EXPECT_LE(pacer.NextRead(1), line.most) << line.bytesPerRead;
    EXPECT_EQ(kMaxReadBytes, pacer.NextRead(2 * kMaxReadBytes));
  }
}

TEST(DownloadStatus, EachReplyStatusHasItsAction) {
  EXPECT_EQ(JudgeDownloadStatus(206, 0), kReplyAppend);
  EXPECT_EQ(JudgeDownloadStatus(206, 1500), kReplyAppend);
  EXPECT_EQ(JudgeDownloadStatus(200, 0), kReplyAppend);
  EXPECT_EQ(JudgeDownloadStatus(200, 1500), kReplyRestart);
  EXPECT_EQ(JudgeDownloadStatus(203, 1500), kReplyRestart);
  EXPECT_EQ(JudgeDownloadStatus(416, 1500), kReplyAlreadyWhole);
  EXPECT_EQ(JudgeDownloadStatus(404, 0), kReplyRejected);
  EXPECT_EQ(JudgeDownloadStatus(500, 1500), kReplyRejected);
  EXPECT_EQ(JudgeDownloadStatus(302, 0), kReplyRejected);
  EXPECT_EQ(JudgeDownloadStatus(100, 0), kReplyRejected);
}

TEST(DownloadReplyLength, OnlyADeclaredOtherLengthIsRefused) {
  const struct {
    DWORD status;
    const wchar_t* length;
    const wchar_t* range;
    uint64_t start;
    int64_t offered;
    bool fits;
  } cases[] = {
      {200, L"1000", L"", 0, 1000, true},
      {200, L"1749", L"", 0, 1000, false},
      {200, L"", L"", 0, 1000, true},   // no length: as before
      {200, L"1749", L"", 0, 0, true},  // no offered size: as before
      {200, L"10x", L"", 0, 1000, false},
      {203, L"999", L"", 500, 1000, false},
      {206, L"500", L"bytes 500-999/1000", 500, 1000, true},
      {206, L"500", L"BYTES 500-999/*", 500, 1000, true},
      {206, L"", L"", 500, 1000, true},
      {206, L"500", L"bytes 500-999/1001", 500, 1000, false},
      {206, L"500", L"bytes 0-499/1000", 500, 1000, false},
      {206, L"500", L"bytes 500-400/1000", 500, 1000, false},
      {206, L"500", L"bytes */1000", 500, 1000, false},
      {206, L"500", L"pages 500-999/1000", 500, 1000, false},
      {206, L"", L"bytes 0-99999999999999999999/1000", 0, 1000, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReplyFitsOffer(c.status, c.length, c.range, c.start, c.offered), c.fits)
        << c.status << " " << c.length << " " << c.range;
  }
}

// How a receive time-out fails a read: WinINet's own code on Windows, the
// socket's (WSAETIMEDOUT) under Wine.
bool IsTimeOut(unsigned long code) {
  return code == ERROR_INTERNET_TIMEOUT || code == 10060;
}

// Counts the downloader's waits instead of sleeping through them.
void CountPause(DWORD milliseconds, void* context) {
  static_cast<std::vector<DWORD>*>(context)->push_back(milliseconds);
}

// One progress report of a download.
struct Notification {
  int value;
};

class DownloadFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // More than two reads' worth, and not a multiple of anything.
    content_.resize(2 * 1048576 + 777);
    for (size_t i = 0; i < content_.size(); ++i) {
      content_[i] = static_cast<char>((i * 131 + i / 7) & 0xFF);
    }
    ASSERT_TRUE(server_.Start());
    Serve(HttpRoute());
    control_.shouldStop = [this] { return stopRequested_; };
    control_.progress = [this](int percent) { Record(percent); };
    SetPauseHook(&CountPause, &pauses_);
    path_ = dir_.File(L"\u5b89\u88c5_setup.exe");
  }
  void TearDown() override { SetPauseHook(nullptr, nullptr); }

  // Serves content_ at /setup.exe with route's status and faults.
  void Serve(HttpRoute route) {
    if (route.body.empty())
      route.body = content_;
    server_.SetRoute("/setup.exe", route);
  }

  WebAddress Address() const {
    return {false, L"127.0.0.1", static_cast<WORD>(server_.Port()), L"/setup.exe"};
  }

  void Download(int64_t totalSize, const std::wstring& path) {
    notifications_.clear();
    startOffset_ = 12345;
    status_ = DownloadFile(control_, Address(), path, totalSize, &startOffset_);
  }
  void Download(int64_t totalSize) { Download(totalSize, path_); }

  std::vector<int> Percentages() const {
    std::vector<int> values;
    for (const Notification& n : notifications_) {
      values.push_back(n.value);
    }
    return values;
  }

  RecordedRequest LastRequest() const {
    std::vector<RecordedRequest> requests = server_.Requests();
    return requests.empty() ? RecordedRequest() : requests.back();
  }

  void Record(int percent) {
    notifications_.push_back({percent});
    if (stopAfterNotifications_ > 0 &&
        static_cast<int>(notifications_.size()) >= stopAfterNotifications_) {
      stopRequested_ = true;
    }
  }

  std::string content_;
  TestHttpServer server_;
  ScratchDir dir_;
  std::wstring path_;
  DownloadControl control_;
  bool stopRequested_ = false;
  std::vector<Notification> notifications_;
  std::vector<DWORD> pauses_;
  int stopAfterNotifications_ = 0;
  Status status_;
  uint64_t startOffset_ = 0;
};

TEST_F(DownloadFileTest, NewFileAsksFromByteZeroAndGetsEveryByte) {
  const DWORD started = GetTickCount();
  Download(static_cast<int64_t>(content_.size()));
  const DWORD elapsed = GetTickCount() - started;
  EXPECT_TRUE(status_.ok()) << status_;
  EXPECT_EQ(startOffset_, 0u);
  EXPECT_TRUE(ReadFileBytes(path_) == content_);

  RecordedRequest request = LastRequest();
  EXPECT_EQ(request.method, "GET");
  EXPECT_EQ(request.target, "/setup.exe");
  EXPECT_EQ(request.Header("Range"), "bytes=0-");
  EXPECT_EQ(request.Header("Accept"), "*/*");
  EXPECT_EQ(request.Header("Pragma"), "no-cache");
  EXPECT_EQ(request.Header("Cache-Control"), "no-cache");
  EXPECT_EQ(request.Header("Connection"), "Keep-Alive");
  EXPECT_FALSE(request.HasHeader("Referer"));

  // Progress only goes forward, at most four reports a second, and ends at
  // 100; the body's end costs eleven empty reads, each waiting 100 ms.
  std::vector<int> percentages = Percentages();
  ASSERT_FALSE(percentages.empty());
  EXPECT_LE(percentages.size(), elapsed / 250 + 2) << elapsed << " ms";
  for (size_t i = 1; i < percentages.size(); ++i)
    EXPECT_LT(percentages[i - 1], percentages[i]);
  EXPECT_EQ(percentages.back(), 100);
  EXPECT_EQ(pauses_, std::vector<DWORD>(11, 100));
}

TEST_F(DownloadFileTest, ResumeAppendsOnlyTheMissingBytesAfterTheLocalOnes) {
  const size_t kHave = 1500000;
  // A local prefix that differs from the server's proves the new bytes are
  // appended after it rather than the file being rewritten.
  std::string local(kHave, 'L');
  ASSERT_TRUE(WriteFileBytes(path_, local));
  Download(static_cast<int64_t>(content_.size()));
  EXPECT_TRUE(status_.ok()) << status_;
  EXPECT_EQ(startOffset_, kHave);
  EXPECT_EQ(LastRequest().Header("Range"), "bytes=1500000-");
  EXPECT_TRUE(ReadFileBytes(path_) == local + content_.substr(kHave));
  std::vector<int> percentages = Percentages();
  ASSERT_FALSE(percentages.empty());
  // The first report counts the bytes that were already there.
  EXPECT_GE(percentages.front(), static_cast<int>(kHave * 100 / content_.size()));
  EXPECT_EQ(percentages.back(), 100);
}

TEST_F(DownloadFileTest, ConnectionClosedEarlyKeepsTheBytesAndTheNextPassCompletes) {
  HttpRoute route;
  route.closeAfterBytes = 1234567;
  Serve(route);
  Download(static_cast<int64_t>(content_.size()));
  EXPECT_TRUE(status_.ok()) << status_;
  EXPECT_TRUE(ReadFileBytes(path_) == content_.substr(0, 1234567));

  Serve(HttpRoute());
  Download(static_cast<int64_t>(content_.size()));
  EXPECT_EQ(LastRequest().Header("Range"), "bytes=1234567-");
  EXPECT_TRUE(ReadFileBytes(path_) == content_);
}

TEST_F(DownloadFileTest, ServerIgnoringRangeRestartsFromZero) {
  ASSERT_TRUE(WriteFileBytes(path_, content_.substr(0, 700000)));
  HttpRoute route;
  route.honourRange = false;
  Serve(route);
  Download(static_cast<int64_t>(content_.size()));
  EXPECT_TRUE(status_.ok()) << status_;
  EXPECT_EQ(LastRequest().Header("Range"), "bytes=700000-");
  EXPECT_TRUE(ReadFileBytes(path_) == content_);
  // Progress counts from zero again, so the whole file is 100 percent.
  std::vector<int> percentages = Percentages();
  ASSERT_FALSE(percentages.empty());
  EXPECT_EQ(percentages.back(), 100);
}

TEST_F(DownloadFileTest, ServerIgnoringRangeWithAnEmptyBodyKeepsTheFile) {
  std::string local = content_.substr(0, 700000);
  ASSERT_TRUE(WriteFileBytes(path_, local));
  HttpRoute route;
  route.honourRange = false;
  route.body = std::string();
  server_.SetRoute("/setup.exe", route);
  Download(0);
  EXPECT_TRUE(status_.ok()) << status_;
  EXPECT_TRUE(ReadFileBytes(path_) == local);
  // With the size offered, its length of 0 alone says it is not the file.
  Download(static_cast<int64_t>(content_.size()));
  EXPECT_EQ(status_.step, StatusStep::kDownloadNotTheOffer) << status_;
  EXPECT_TRUE(ReadFileBytes(path_) == local);
}

TEST_F(DownloadFileTest, CompleteFileAnswered416StaysAsItIs) {
  ASSERT_TRUE(WriteFileBytes(path_, content_));
  Download(static_cast<int64_t>(content_.size()));
  EXPECT_TRUE(status_.ok()) << status_;
  EXPECT_EQ(LastRequest().Header("Range"), "bytes=" + std::to_string(content_.size()) + "-");
  EXPECT_TRUE(ReadFileBytes(path_) == content_);
  EXPECT_TRUE(notifications_.empty());
}

TEST_F(DownloadFileTest, ErrorPagesNeverReachTheFile) {
  const int statuses[] = {404, 500, 403, 302};
  std::string local = content_.substr(0, 4096);
  for (int status : statuses) {
    ASSERT_TRUE(WriteFileBytes(path_, local));
    HttpRoute route;
    route.status = status;
    route.contentType = "text/html";
    route.body = "<html><body>error " + std::to_string(status) + "</body></html>";
    server_.SetRoute("/setup.exe", route);
    Download(static_cast<int64_t>(content_.size()));
    EXPECT_EQ(status_.step, StatusStep::kDownloadReplyStatus) << status_;
    EXPECT_EQ(status_.code, static_cast<unsigned long>(status)) << status_;
    EXPECT_TRUE(ReadFileBytes(path_) == local) << status;
    EXPECT_TRUE(notifications_.empty()) << status;
  }
  // A missing file starts empty and stays empty.
  DeleteFileW(path_.c_str());
  Download(static_cast<int64_t>(content_.size()));
  EXPECT_EQ(status_.step, StatusStep::kDownloadReplyStatus) << status_;
  EXPECT_TRUE(quilltest::FileExists(path_));
  EXPECT_EQ(ReadFileBytes(path_), "");
}

TEST_F(DownloadFileTest, StallShorterThanTheReceiveTimeoutStillCompletes) {
  HttpRoute route;
  route.stallAfterBytes = 300000;
  route.stallMilliseconds = 2000;
  Serve(route);
  Download(static_cast<int64_t>(content_.size()));
  EXPECT_TRUE(status_.ok()) << status_;
  EXPECT_TRUE(ReadFileBytes(path_) == content_);
}

TEST_F(DownloadFileTest, StalledServerEndsThePassAndTheNextPassResumes) {
  // Without a receive time-out WinINet waits as long as the server stalls.
  control_.receiveTimeoutMs = 3000;
  HttpRoute route;
  route.stallAfterBytes = 300000;
  route.stallMilliseconds = 20000;
  Serve(route);
  DWORD started = GetTickCount();
  Download(static_cast<int64_t>(content_.size()));
  DWORD elapsed = GetTickCount() - started;
  EXPECT_GE(elapsed, 2000u);
  EXPECT_LT(elapsed, 15000u);
  EXPECT_EQ(status_.step, StatusStep::kDownloadReadBody) << status_;
  EXPECT_TRUE(IsTimeOut(status_.code)) << status_;
  // What the file holds is the body's start, none of it past the stall. (A
  // read that asked for more than came before the stall loses its bytes
  // with the time-out; the next pass asks for them again.)
  std::string partial = ReadFileBytes(path_);
  EXPECT_LE(partial.size(), 300000u);
  EXPECT_TRUE(partial == content_.substr(0, partial.size()));

  Serve(HttpRoute());
  Download(static_cast<int64_t>(content_.size()));
  EXPECT_EQ(LastRequest().Header("Range"), "bytes=" + std::to_string(partial.size()) + "-");
  EXPECT_TRUE(ReadFileBytes(path_) == content_);
}

// A reply whose body never starts is told apart, and a pass from the first
// byte writes only what lies beyond the local file (here unlike the
// server's bytes, to show they are kept).
TEST_F(DownloadFileTest, SilentBodyIsToldApartAndAPassFromTheFirstByteKeepsTheFile) {
  const std::string local(1500000, 'L');
  ASSERT_TRUE(WriteFileBytes(path_, local));
  control_.receiveTimeoutMs = 2000;
  HttpRoute route;
  route.stallAfterBytes = 0;
  route.stallMilliseconds = 20000;
  Serve(route);
  Download(static_cast<int64_t>(content_.size()));
  EXPECT_EQ(status_.step, StatusStep::kDownloadSilentReply) << status_;
  EXPECT_TRUE(IsTimeOut(status_.code)) << status_;
  EXPECT_TRUE(ReadFileBytes(path_) == local);

  Serve(HttpRoute());
  control_.fromFirstByte = true;
  Download(static_cast<int64_t>(content_.size()));
  EXPECT_TRUE(status_.ok()) << status_;
  EXPECT_EQ(startOffset_, local.size());
  EXPECT_EQ(LastRequest().Header("Range"), "bytes=0-");
  EXPECT_TRUE(ReadFileBytes(path_) == local + content_.substr(local.size()));
  std::vector<int> percentages = Percentages();
  ASSERT_FALSE(percentages.empty());
  EXPECT_GE(percentages.front(), static_cast<int>(local.size() * 100 / content_.size()));
  EXPECT_EQ(percentages.back(), 100);
}

// A captive portal answers every address with its page: with the offered
// size known, a reply whose length says it is another file is not written.
TEST_F(DownloadFileTest, ReplyOfAnotherLengthThanTheOfferIsNotWritten) {
  HttpRoute portal;
  portal.honourRange = false;
  portal.contentType = "text/html";
  portal.body = "<html><body>Sign in to the hotel network</body></html>";
  server_.SetRoute("/setup.exe", portal);
  Download(static_cast<int64_t>(content_.size()));
  EXPECT_EQ(status_.step, StatusStep::kDownloadNotTheOffer) << status_;
  EXPECT_EQ(ReadFileBytes(path_), "");
  // A partial file meets a 206 for a longer file: kept as it was.
  const std::string local = content_.substr(0, 4096);
  ASSERT_TRUE(WriteFileBytes(path_, local));
  Serve(HttpRoute());
  Download(static_cast<int64_t>(content_.size()) - 1);
  EXPECT_EQ(status_.step, StatusStep::kDownloadNotTheOffer) << status_;
  EXPECT_EQ(status_.code, 206u);
  EXPECT_TRUE(ReadFileBytes(path_) == local);
  EXPECT_TRUE(notifications_.empty());
  // Without an offered size the page is written, as before.
  DeleteFileW(path_.c_str());
  server_.SetRoute("/setup.exe", portal);
  Download(0);
  EXPECT_EQ(ReadFileBytes(path_), portal.body);
}

TEST_F(DownloadFileTest, OversizedReplyHeadersDoNotDisturbTheBody) {
  HttpRoute route;
  route.headers.push_back({"X-Padding", std::string(6000, 'p')});
  Serve(route);
  Download(static_cast<int64_t>(content_.size()));
  EXPECT_TRUE(status_.ok()) << status_;
  EXPECT_TRUE(ReadFileBytes(path_) == content_);
}

TEST_F(DownloadFileTest, StopBeforeTheCallSendsTheRequestButWritesNothing) {
  stopRequested_ = true;
  Download(static_cast<int64_t>(content_.size()));
  EXPECT_TRUE(status_.ok()) << status_;
  EXPECT_EQ(server_.Requests().size(), 1u);
  EXPECT_TRUE(quilltest::FileExists(path_));
  EXPECT_EQ(ReadFileBytes(path_), "");
  EXPECT_TRUE(notifications_.empty());
}

TEST_F(DownloadFileTest, StopDuringTheTransferEndsAfterTheCurrentRead) {
  stopAfterNotifications_ = 1;
  Download(static_cast<int64_t>(content_.size()));
  EXPECT_TRUE(status_.ok()) << status_;
  ASSERT_EQ(notifications_.size(), 1u);
  std::string written = ReadFileBytes(path_);
  EXPECT_GT(written.size(), 0u);
  EXPECT_LT(written.size(), content_.size());
  EXPECT_TRUE(written == content_.substr(0, written.size()));
  EXPECT_EQ(notifications_[0].value, static_cast<int>(written.size() * 100.0 / content_.size()));
}

TEST_F(DownloadFileTest, UnknownTotalSizeReportsZeroPercent) {
  Download(0);
  EXPECT_TRUE(status_.ok()) << status_;
  EXPECT_TRUE(ReadFileBytes(path_) == content_);
  std::vector<int> percentages = Percentages();
  ASSERT_FALSE(percentages.empty());
  EXPECT_EQ(percentages, std::vector<int>(percentages.size(), 0));
}

TEST_F(DownloadFileTest, FileBeyondThreeGibibytesResumesFromItsFullSize) {
  // A sparse local file of 3 GiB + 5 bytes; the server's copy is shorter, so
  // it answers 416 and the file must stay as it was.
  HANDLE file = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  LARGE_INTEGER end;
  end.QuadPart = (3LL << 30) + 5;
  ASSERT_TRUE(SetFilePointerEx(file, end, nullptr, FILE_BEGIN));
  ASSERT_TRUE(SetEndOfFile(file));
  CloseHandle(file);

  Download(static_cast<int64_t>(content_.size()));
  EXPECT_TRUE(status_.ok()) << status_;
  EXPECT_EQ(startOffset_, (3ULL << 30) + 5);
  EXPECT_EQ(LastRequest().Header("Range"), "bytes=3221225477-");
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExW(path_.c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ((static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow,
            (3ULL << 30) + 5);
}

// Another program holding the file (a running setup reads its own file,
// letting others read it too), or a missing folder.
TEST_F(DownloadFileTest, FileThatCannotBeOpenedFailsBeforeAnyRequest) {
  ScopedHandle holder(CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(holder.IsValid());
  Download(static_cast<int64_t>(content_.size()));
  EXPECT_EQ(status_.step, StatusStep::kDownloadOpenFile) << status_;
  EXPECT_EQ(status_.code, static_cast<unsigned long>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(startOffset_, 0u);

  Download(static_cast<int64_t>(content_.size()), dir_.File(L"no such folder\\setup.exe"));
  EXPECT_EQ(status_.step, StatusStep::kDownloadOpenFile) << status_;
  EXPECT_EQ(status_.code, static_cast<unsigned long>(ERROR_PATH_NOT_FOUND));
  EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(DownloadFileTest, ClosedPortFailsToSendAndLeavesTheFile) {
  ASSERT_TRUE(WriteFileBytes(path_, "abc"));
  server_.Stop();
  Download(static_cast<int64_t>(content_.size()));
  EXPECT_EQ(status_.step, StatusStep::kDownloadSendRequest) << status_;
  EXPECT_EQ(status_.code, static_cast<unsigned long>(ERROR_INTERNET_CANNOT_CONNECT));
  EXPECT_EQ(startOffset_, 3u);
  EXPECT_EQ(ReadFileBytes(path_), "abc");
}

TEST_F(DownloadFileTest, WriteFailureEndsThePassWithoutReportingProgress) {
  // Linux's /dev/full (Z: is the root under Wine) takes no byte: every
  // write fails as on a full disk, once the reply has begun to arrive.
  Download(static_cast<int64_t>(content_.size()), L"Z:\\dev\\full");
  EXPECT_EQ(status_.step, StatusStep::kDownloadWriteFile) << status_;
  EXPECT_EQ(status_.code, static_cast<unsigned long>(ERROR_DISK_FULL));
  EXPECT_EQ(server_.Requests().size(), 1u);
  EXPECT_TRUE(notifications_.empty());
}

}  // namespace
}  // namespace rerozadez
