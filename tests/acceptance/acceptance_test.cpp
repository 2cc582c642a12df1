// The built program as a user meets it on a hostile network: the demo
// package service in its fault modes (tests/support/program_world.h).
#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "app/resource_util.h"
#include "app/skin_layout.h"
#include "platform/text_encoding.h"
#include "resources/resource_ids.h"
#include "tests/support/package_service.h"
#include "tests/support/program_driver.h"
#include "tests/support/program_world.h"

namespace {

using quilltest::Backslashed;
using quilltest::ButtonVisible;
using quilltest::ExitCode;
using quilltest::kDeadlineMs;
using quilltest::PressButton;
using quilltest::ReadResumeRecord;
using rerozadezGUI::kStatusLineId;

using quilltest::FileRequest;
class AcceptanceTest : public quilltest::ProgramWorld {};

// Every reply cut at a random point in its first third: the user presses
// Retry whenever it is offered (a run gives up after five short passes), and
// the passes together bring the whole file, each resuming where the last
// stopped.
TEST_F(AcceptanceTest, ConnectionDroppedAtRandomOffsetsCompletesWithNoByteLostOrDoubled) {
  StartService(L"drop");
  HWND window = StartAndInstall(&first_);
  ASSERT_NE(nullptr, window);
  int retries = 0;
  while (WaitForRetryOrEnd(first_, window, kDeadlineMs)) {
    ASSERT_LT(++retries, 12) << "still incomplete after that many runs";
    PressRetry(window);
  }
  ExpectSetupStartedFromTheServedFile(first_);
  const std::vector<FileRequest> requests = FileRequests(3);
  ASSERT_GE(requests.size(), 3u);
  // Each request asks for what the file held: from nothing, then onwards,
  // never again from an earlier point (a byte doubled) or past the end.
  EXPECT_EQ(0, requests[0].rangeStart);
  for (size_t i = 1; i < requests.size(); ++i) {
    EXPECT_GE(requests[i].rangeStart, requests[i - 1].rangeStart) << "request " << i;
    EXPECT_LT(requests[i].rangeStart, static_cast<long long>(served_.size())) << "request " << i;
  }
  std::printf("%zu requests, %d presses of Retry\n", requests.size(), retries);
}

// A first job on a network whose Internet Settings name a caching proxy
// (squid, from the ProxySquid fixture): everything goes through it and
// the run ends as on an open network.
TEST_F(AcceptanceTest, FirstJobThroughACachingProxy) {
  const std::string state = quilltest::ReadFileBytes(QUILL_SQUID_STATE L"\\ports");
  const size_t at = state.find("plain=");
  ASSERT_NE(std::string::npos, at) << "the ProxySquid fixture did not start squid";
  // Windows' proxy settings, switched off again however the case ends.
  struct SystemProxyOff {
    ~SystemProxyOff() { quilltest::SetSystemProxy(0); }
  } systemProxyOff;
  quilltest::SetSystemProxy(std::atoi(state.c_str() + at + 6));
  StartService(L"none", L"127.0.0.2:0");
  StartAndInstall(&first_);
  ExpectSetupStartedFromTheServedFile(first_);
  // squid's log names the query and the file.
  const std::string scratch = quilltest::ReadFileBytes(QUILL_SQUID_STATE L"\\scratch");
  ASSERT_FALSE(scratch.empty());
  const std::string log = quilltest::ReadFileBytes(
      L"Z:" + std::wstring(scratch.begin(), scratch.end() - 1) + L"/access.log");
  EXPECT_NE(std::string::npos, log.find("/adpserver/GetVIByAKFWPC")) << log;
  EXPECT_NE(std::string::npos, log.find(quilltest::kSetupTarget + 4)) << log;
  EXPECT_EQ(1u, FileRequests(1).size());
}

// A server that ignores Range sends the whole file again with 200: what was
// on disk must be replaced, not extended.
TEST_F(AcceptanceTest, ServerIgnoringRangeReplacesThePartialFile) {
  StartService(L"no-range");
  CreateDirectoryW((appData_.Path() + L"\\Travik").c_str(), nullptr);
  CreateDirectoryW((appData_.Path() + L"\\Travik\\rerozadez").c_str(), nullptr);
  const size_t partial = served_.size() / 3;
  ASSERT_TRUE(quilltest::WriteFileBytes(SetupFile(), served_.substr(0, partial)));
  StartAndInstall(&first_);
  ExpectSetupStartedFromTheServedFile(first_);
  const std::vector<FileRequest> requests = FileRequests(1);
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ(static_cast<long long>(partial), requests[0].rangeStart);
}

// Error statuses and an empty body write nothing into the setup file; the
// user is offered Retry, which asks again and meets the same answer.
TEST_F(AcceptanceTest, ErrorStatusesAndAnEmptyReplyOfferRetryAndWriteNothing) {
  // An error status or an empty reply is an unusable answer (2203); a 416
  // writes nothing either, and five such passes are a download that keeps
  // breaking off (2204).
  const struct {
    const wchar_t* fault;
    int exitCode;
  } faults[] = {
      {L"status-404", 2203}, {L"status-500", 2203}, {L"status-416", 2204}, {L"empty", 2203}};
  for (const auto& each : faults) {
    const wchar_t* fault = each.fault;
    SCOPED_TRACE(testing::Message() << "fault " << rerozadez::WideToUtf8(fault));
    StartService(fault);
    HWND window = StartAndInstall(&first_);
    ASSERT_NE(nullptr, window);
    ExpectRetryOffered(window);
    EXPECT_EQ(0u, SetupFileLength());
    const size_t firstRun = FileRequests(1).size();
    EXPECT_GE(firstRun, 1u);
    PressRetry(window);
    ExpectRetryOffered(window);
    EXPECT_EQ(0u, SetupFileLength());
    EXPECT_GT(FileRequests(firstRun + 1).size(), firstRun);
    // The record still names the package on offer for a later run.
    EXPECT_EQ(std::to_string(served_.size()), ReadResumeRecord(L"downLoadSize"));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(each.exitCode, ExitCode(first_, kDeadlineMs));
    CloseHandle(first_);
    first_ = nullptr;
    StopService();
    DeleteFileW(SetupFile().c_str());
    DeleteFileW(serviceLog_.c_str());
    quilltest::DeleteProgramKeys();
  }
}

// A damaged copy is thrown away and fetched again; the right one starts.
TEST_F(AcceptanceTest, WrongDigestOnceThenRightStartsTheSetup) {
  StartService(L"bad-once");
  StartAndInstall(&first_);
  ExpectSetupStartedFromTheServedFile(first_);
  const std::vector<FileRequest> requests = FileRequests(2);
  ASSERT_EQ(2u, requests.size());
  EXPECT_EQ(0, requests[0].rangeStart);
  EXPECT_EQ(0, requests[1].rangeStart);  // from the start, the bad copy gone
}

// Damaged every time: after the second bad copy the user gets Retry and no
// damaged file is left behind to be started.
TEST_F(AcceptanceTest, WrongDigestAlwaysOffersRetryAndDeletesTheFile) {
  StartService(L"bad-always");
  HWND window = StartAndInstall(&first_);
  ASSERT_NE(nullptr, window);
  ExpectRetryOffered(window);
  EXPECT_FALSE(quilltest::FileExists(SetupFile()));
  EXPECT_EQ(2u, FileRequests(2).size());
  PressRetry(window);
  ExpectRetryOffered(window);
  EXPECT_FALSE(quilltest::FileExists(SetupFile()));
  EXPECT_EQ(4u, FileRequests(4).size());
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(2205, ExitCode(first_, kDeadlineMs));  // not the publisher's file
}

// The first reply stops three quarters in and keeps the connection open:
// the pass ends at the receive time-out and the next one resumes.
TEST_F(AcceptanceTest, StalledServerTimesOutAndTheDownloadResumes) {
  StartService(L"stall");
  HWND window = StartAndInstall(&first_);
  ASSERT_NE(nullptr, window);
  ASSERT_TRUE(WaitForPartialFile(kDeadlineMs));
  EXPECT_EQ(-1, ExitCode(first_, 20000));  // still waiting on the stalled reply
  ExpectSetupStartedFromTheServedFile(first_);
  const std::vector<FileRequest> requests = FileRequests(2);
  ASSERT_EQ(2u, requests.size());
  EXPECT_GT(requests[1].rangeStart, 0);
}

// Killed hard while the service holds back the rest; started again, the
// program asks for the file from the partial size and finishes.
TEST_F(AcceptanceTest, KilledMidDownloadResumesFromThePartialFileWhenStartedAgain) {
  StartService(L"stall");
  StartAndInstall(&first_);
  ASSERT_TRUE(WaitForPartialFile(kDeadlineMs));
  ASSERT_TRUE(TerminateProcess(first_, 9));
  ASSERT_EQ(9, ExitCode(first_, kDeadlineMs));
  CloseHandle(first_);
  first_ = nullptr;
  quilltest::EndProcessesNamed(L"adb.exe");
  const uint64_t partial = SetupFileLength();
  ASSERT_GT(partial, 0u);
  ASSERT_LT(partial, served_.size());
  EXPECT_EQ(0, served_.compare(0, partial, quilltest::ReadFileBytes(SetupFile())));
  EXPECT_TRUE(SetupStarts(0).empty());

  StartAndInstall(&first_);
  ExpectSetupStartedFromTheServedFile(first_);
  const std::vector<FileRequest> requests = FileRequests(2);
  ASSERT_EQ(2u, requests.size());
  EXPECT_EQ(static_cast<long long>(partial), requests[1].rangeStart);
}

// A phone with the offered setup on its card: the file comes over the
// bridge, matches the offer's size and MD5, and starts; the package service
// is asked nothing for the file.
TEST_F(AcceptanceTest, SetupOnThePhoneCardStartsWithoutADownload) {
  const std::string onCard = served_;
  phone_.SetBehaviour(quilltest::FakeBridgeServer::Behaviour::kServeFiles);
  phone_.AddFile("/sdcard/Tools/Quillnest_setup.exe", onCard);
  phoneHasFile_ = true;
  StartService(L"none");
  StartAndInstall(&first_);
  EXPECT_EQ(0, ExitCode(first_, kDeadlineMs));
  EXPECT_TRUE(quilltest::ReadFileBytes(SetupFile()) == onCard);
  std::vector<quilltest::RecordedStart> starts = SetupStarts(kDeadlineMs);
  ASSERT_EQ(1u, starts.size());
  EXPECT_EQ(L"Quillnest_SetUp_mini.exe", starts[0].program);
  EXPECT_TRUE(FileRequests().empty());
  const std::vector<std::string> phoneRequests = phone_.Requests();
  bool pulled = false;
  for (const std::string& request : phoneRequests) {
    pulled = pulled || request == "RECV /sdcard/Tools/Quillnest_setup.exe";
  }
  EXPECT_TRUE(pulled);
}

// On a slow line the status line, as a screen reader reads it, says how
// far, how fast and how long still; while the server is silent, that it
// waits for it.
TEST_F(AcceptanceTest, SlowLineTellsSpeedTimeLeftAndWaitingForTheServer) {
  ASSERT_TRUE(quilltest::WriteFileBytes(scratch_.File(L"SetupConfig.txt"), "Language=zh\r\n"));
  StartService(L"slow-line");
  HWND window = StartAndInstall(&first_);
  ASSERT_NE(nullptr, window);
  HWND statusLine = GetDlgItem(window, kStatusLineId);
  std::wstring withSpeed, waiting;
  const DWORD start = GetTickCount();
  while (ExitCode(first_, 100) == -1 && GetTickCount() - start < kDeadlineMs) {
    wchar_t name[256] = L"";
    GetWindowTextW(statusLine, name, 256);
    const std::wstring text = name;
    if (text.find(L"/秒，约剩 ") != std::wstring::npos) {
      withSpeed = text;
    }
    if (text.find(L"正在等待服务器") != std::wstring::npos) {
      waiting = text;
    }
  }
  EXPECT_NE(L"", withSpeed) << "no speed and time left shown";
  EXPECT_NE(std::wstring::npos, waiting.find(L"已下载 ")) << "no wait shown";
  ExpectSetupStartedFromTheServedFile(first_);
}

// The first number in a text: the bytes held, in the progress line.
std::wstring FirstNumber(const std::wstring& text) {
  const size_t first = text.find_first_of(L"0123456789");
  if (first == std::wstring::npos)
    return std::wstring();
  return text.substr(first, text.find_first_not_of(L"0123456789.", first) - first);
}

// On a 256 kbit/s link (32 KiB/s) the status line follows the bytes as they
// arrive: the count it shows changes every few seconds, and while bytes
// come it never says it waits for the server.
TEST_F(AcceptanceTest, SlowLinkShowsTheBytesAsTheyArriveAndNeverWaits) {
  ASSERT_TRUE(quilltest::WriteFileBytes(scratch_.File(L"SetupConfig.txt"), "Language=en\r\n"));
  const std::wstring waiting = rerozadez::GetResourceUtil()->LoadStringText(
      IDS_PROGRESS_WAITING, rerozadez::UiLanguage::kEnglish);
  StartService(L"slow-line-32");
  HWND window = StartAndInstall(&first_);
  ASSERT_NE(nullptr, window);
  HWND statusLine = GetDlgItem(window, kStatusLineId);
  std::set<std::wstring> counts;
  DWORD firstCountAt = 0;
  const DWORD start = GetTickCount();
  while (ExitCode(first_, 100) == -1 && GetTickCount() - start < 120000 &&
         (firstCountAt == 0 || GetTickCount() - firstCountAt < 20000)) {
    wchar_t name[256] = L"";
    GetWindowTextW(statusLine, name, 256);
    const std::wstring count = FirstNumber(name);
    if (count.empty())
      continue;
    if (firstCountAt == 0)
      firstCountAt = GetTickCount();
    counts.insert(count);
    EXPECT_EQ(std::wstring::npos, std::wstring(name).find(waiting)) << name;
  }
  EXPECT_GE(counts.size(), 4u);
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(1602, ExitCode(first_, kDeadlineMs));
}

// A disk too small for the setup: the pass that fills it ends the run at
// once as a disk problem, after one request of the file. The partial file
// and the resume record stay, and the next run asks for the rest.
TEST_F(AcceptanceTest, FullDiskEndsTheRunAfterOneRequestAndTheNextRunResumes) {
  const std::wstring volume =
      Backslashed(QUILL_SMALL_VOLUME) + L"\\" + std::to_wstring(GetCurrentProcessId());
  ASSERT_TRUE(CreateDirectoryW(volume.c_str(), nullptr));
  MoveAppDataTo(volume);
  StartService(L"none");
  first_ = Start(L"/quiet");
  ASSERT_NE(nullptr, first_);
  EXPECT_EQ(2206, ExitCode(first_, kDeadlineMs));
  ASSERT_EQ(1u, FileRequests(1).size());
  const uint64_t partial = SetupFileLength();
  EXPECT_GT(partial, 0u);
  EXPECT_EQ(0, served_.compare(0, partial, quilltest::ReadFileBytes(SetupFile())));
  EXPECT_EQ(std::to_string(served_.size()), ReadResumeRecord(L"downLoadSize"));

  CloseHandle(first_);
  first_ = Start(L"/quiet");
  EXPECT_EQ(2206, ExitCode(first_, kDeadlineMs));
  const std::vector<FileRequest> requests = FileRequests(2);
  ASSERT_EQ(2u, requests.size());
  EXPECT_EQ(static_cast<long long>(partial), requests[1].rangeStart);
  quilltest::RemoveTree(volume);
}

// An older signed release served as the offered one (its size and digest in
// the reply) is refused and deleted, and nothing starts; the offered
// release, served honestly, then starts.
TEST_F(AcceptanceTest, OlderReleaseOfferedAsTheCurrentIsRefusedAndTheOfferedOneStarts) {
  ASSERT_TRUE(quilltest::WriteFileBytes(
      scratch_.File(L"served.exe"),
      quilltest::ReadFileBytes(quilltest::StandInPath(L"recorder-older.exe"))));
  StartService(L"none");
  first_ = Start(L"/quiet");
  ASSERT_NE(nullptr, first_);
  EXPECT_EQ(2205, ExitCode(first_, kDeadlineMs));
  EXPECT_TRUE(SetupStarts(0).empty());
  EXPECT_FALSE(quilltest::FileExists(SetupFile()));

  StopService();
  ASSERT_TRUE(quilltest::WriteFileBytes(scratch_.File(L"served.exe"), served_));
  StartService(L"none");
  CloseHandle(first_);
  first_ = Start(L"/quiet");
  ExpectSetupStartedFromTheServedFile(first_);
}

// A package reply far past any real one's size is refused unread as an
// unusable answer, and the program never holds it.
TEST_F(AcceptanceTest, HugeReplyIsRefusedWithoutBeingHeld) {
  StartService(L"huge-reply");
  first_ = Start(L"/quiet");
  ASSERT_NE(nullptr, first_);
  EXPECT_EQ(2203, ExitCode(first_, kDeadlineMs));
  PROCESS_MEMORY_COUNTERS memory = {};
  memory.cb = sizeof(memory);
  ASSERT_TRUE(GetProcessMemoryInfo(first_, &memory, sizeof(memory)));
  EXPECT_LT(memory.PeakPagefileUsage, 32u << 20);  // the reply is 64 MiB
  EXPECT_TRUE(FileRequests().empty());
}

// A second start while the first downloads ends with 1618 (another copy is
// running) and leaves the first downloading, alone on the file.
TEST_F(AcceptanceTest, SecondInstanceWhileTheFirstDownloadsEndsAsAnotherCopyRunning) {
  StartService(L"stall");
  HWND window = StartAndInstall(&first_);
  ASSERT_NE(nullptr, window);
  ASSERT_TRUE(WaitForPartialFile(kDeadlineMs));
  ASSERT_EQ(1u, FileRequests(1).size());
  const int queries = QueryRequests();
  EXPECT_GE(queries, 1);
  second_ = Start();
  ASSERT_NE(nullptr, second_);
  EXPECT_EQ(1618, ExitCode(second_, kDeadlineMs));
  EXPECT_EQ(-1, ExitCode(first_, 0));
  EXPECT_EQ(window, FindProgramWindow());
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(1u, FileRequests().size());
  EXPECT_EQ(queries, QueryRequests());  // the second asked nothing
  EXPECT_GT(SetupFileLength(), 0u);
  EXPECT_TRUE(SetupStarts(0).empty());
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(1602, ExitCode(first_, kDeadlineMs));  // closed during its run
}

}  // namespace
