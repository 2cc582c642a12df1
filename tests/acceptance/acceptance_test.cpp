// The built program as a user meets it on a hostile network: the demo
// package service runs as its own process in a fault mode, the program is a
// copy in a scratch folder with working folders of its own, and the checks
// read what the user sees (its window and buttons), what it started, how it
// ended, and what it left on disk and in the registry.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "app/resource_util.h"
#include "platform/file_digest.h"
#include "platform/text_encoding.h"
#include "tests/support/fake_bridge_server.h"
#include "tests/support/package_service.h"
#include "tests/support/program_driver.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/stand_ins.h"
#include "tests/support/test_files.h"
#include "tests/support/test_registry.h"

namespace {

using quilltest::Backslashed;
using quilltest::ButtonVisible;
using quilltest::ExitCode;
using quilltest::PressButton;
using quilltest::ReadResumeRecord;

const char kSetupTarget[] = "GET /downloads/Quillnest_full_setup.exe";
const char kQueryTarget[] = "GET /adpserver/GetVIByAKFWPC";
const int kRetryButton = 1004;
const int kInstallDriverButton = 1005;

// One request of the setup file as the service logged it.
struct FileRequest {
  long long rangeStart;  // -1 without a Range header
};

class AcceptanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    program_ = scratch_.File(L"QuillnestMini.exe");
    ASSERT_TRUE(CopyFileW(Backslashed(QUILL_PROGRAM_EXE).c_str(), program_.c_str(), FALSE));
    environment_.RedirectWorkFolders(appData_.Path(), temp_.Path());
    // The served setup is the recorder stand-in, so its start is logged;
    // its large copy spans several of the downloader's 1 MiB reads.
    served_ = quilltest::ReadFileBytes(quilltest::StandInPath(L"recorder-large.exe"));
    ASSERT_GT(served_.size(), 4u * 1024 * 1024);
    ASSERT_TRUE(quilltest::WriteFileBytes(scratch_.File(L"served.exe"), served_));
  }

  void TearDown() override {
    quilltest::EndProcess(&first_);
    quilltest::EndProcess(&second_);
    StopService();
    quilltest::EndProcessesNamed(L"Quillnest_SetUp_mini.exe");
    quilltest::EndProcessesNamed(L"adb.exe");
  }

  // The phone: none by default; the SD-card case offers a file first.
  void StartPhone() {
    if (!phoneHasFile_) {
      phone_.SetBehaviour(quilltest::FakeBridgeServer::Behaviour::kNoDevice);
    }
    ASSERT_TRUE(phone_.Start());
    port_.reset(new quilltest::ScopedBridgePort(phone_.Port()));
  }

  // Starts the demo service in a fault mode and waits until it serves.
  void StartService(const wchar_t* fault, const std::wstring& where = L"0") {
    if (!port_) {
      StartPhone();
    }
    serviceLog_ = scratch_.File(L"service.log");
    std::wstring exe = Backslashed(QUILL_DEMO_SERVICE_EXE);
    std::wstring commandLine = L"\"" + exe + L"\" " + where + L" \"" +
                               scratch_.File(L"served.exe") + L"\" " + fault + L" \"" +
                               serviceLog_ + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                               CREATE_NO_WINDOW, nullptr, scratch_.Path().c_str(), &startup,
                               &process));
    CloseHandle(process.hThread);
    service_ = process.hProcess;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 15000 &&
           quilltest::ReadFileBytes(serviceLog_).find("offering version") == std::string::npos) {
      ASSERT_NE(WAIT_OBJECT_0, WaitForSingleObject(service_, 50)) << "the service ended";
    }
    const std::string log = quilltest::ReadFileBytes(serviceLog_);
    ASSERT_NE(std::string::npos, log.find("offering version"));
    // The service took a free port; the program under test is told which.
    const char kServingOn[] = "demo package service on ";
    const size_t at = log.find(kServingOn);
    ASSERT_NE(std::string::npos, at);
    const size_t from = at + sizeof(kServingOn) - 1;
    const std::string address = log.substr(from, log.find(' ', from) - from);
    environment_.Set(L"QUILL_TEST_SERVICE_URL", address);
  }

  void StopService() { quilltest::EndProcess(&service_); }

  // The requests of the setup file in the service's log, oldest first.
  std::vector<FileRequest> FileRequests() const {
    std::vector<FileRequest> requests;
    std::istringstream lines(quilltest::ReadFileBytes(serviceLog_));
    std::string line;
    while (std::getline(lines, line)) {
      if (line.compare(0, sizeof(kSetupTarget) - 1, kSetupTarget) != 0) {
        continue;
      }
      FileRequest request = {-1};
      const size_t range = line.find("[Range: bytes=");
      if (range != std::string::npos) {
        request.rangeStart = std::atoll(line.c_str() + range + 14);
      }
      requests.push_back(request);
    }
    return requests;
  }

  int QueryRequests() const {
    int count = 0;
    std::istringstream lines(quilltest::ReadFileBytes(serviceLog_));
    std::string line;
    while (std::getline(lines, line)) {
      count += line.compare(0, sizeof(kQueryTarget) - 1, kQueryTarget) == 0 ? 1 : 0;
    }
    return count;
  }

  HANDLE Start() { return quilltest::StartProgram(program_, scratch_.Path()); }

  static HWND FindProgramWindow() {
    return FindWindowW(rerozadez::GetResourceUtil()->LoadStringText(IDS_WINDOW_CLASS).c_str(),
                       nullptr);
  }

  // The program's visible window once its buttons exist, or null.
  static HWND WaitForWindow(DWORD timeoutMs) {
    return quilltest::WaitForWindowWithButtons(
        rerozadez::GetResourceUtil()->LoadStringText(IDS_WINDOW_CLASS), timeoutMs);
  }

  // Waits until the program offers Retry (true) or ends (false).
  static bool WaitForRetryOrEnd(HANDLE process, HWND window, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
      if (WaitForSingleObject(process, 0) == WAIT_OBJECT_0) {
        return false;
      }
      if (ButtonVisible(window, kRetryButton)) {
        return true;
      }
      Sleep(50);
    }
    ADD_FAILURE() << "neither Retry nor the end within " << timeoutMs << " ms";
    return false;
  }

  // Presses Retry until the restarted run has hidden it; the run that
  // showed it may still be on its way out at the first press.
  static void PressRetry(HWND window) {
    for (int attempt = 0; attempt < 10 && ButtonVisible(window, kRetryButton); ++attempt) {
      PressButton(window, kRetryButton);
      Sleep(200);
    }
    EXPECT_FALSE(ButtonVisible(window, kRetryButton));
  }

  std::wstring SetupFile() const {
    return appData_.Path() + L"\\Travik\\rerozadez\\Quillnest_SetUp_mini.exe";
  }
  // Read from the folder entry: opening the file would clash with the
  // downloader's write handle.
  uint64_t SetupFileLength() const {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(SetupFile().c_str(), GetFileExInfoStandard, &data)) {
      return 0;
    }
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  }

  // The starts of the full setup that the recorder logged, waiting up to
  // timeoutMs for the first.
  std::vector<quilltest::RecordedStart> SetupStarts(DWORD timeoutMs) const {
    return quilltest::WaitForRecordedStarts(SetupFile() + L".log", 1, timeoutMs);
  }

  // Starts the program and presses Install driver in its window.
  HWND StartAndInstall(HANDLE* process) {
    *process = Start();
    EXPECT_NE(nullptr, *process);
    if (*process == nullptr) {
      return nullptr;
    }
    HWND window = WaitForWindow(15000);
    EXPECT_NE(nullptr, window);
    if (window != nullptr) {
      PressButton(window, kInstallDriverButton);
    }
    return window;
  }

  // Waits until the download has put at least one read into the setup file.
  bool WaitForPartialFile(DWORD timeoutMs) const {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
      if (SetupFileLength() > 0) {
        return true;
      }
      Sleep(50);
    }
    return false;
  }

  // What a finished run leaves: the served bytes, started once, the resume
  // record naming them, and a program that ended with 0.
  void ExpectSetupStartedFromTheServedFile(HANDLE process) {
    EXPECT_EQ(0, ExitCode(process, 15000));
    EXPECT_TRUE(quilltest::ReadFileBytes(SetupFile()) == served_) << "setup file differs";
    std::vector<quilltest::RecordedStart> starts = SetupStarts(10000);
    ASSERT_EQ(1u, starts.size());
    EXPECT_EQ(L"Quillnest_SetUp_mini.exe", starts[0].program);
    EXPECT_EQ(std::to_string(served_.size()), ReadResumeRecord(L"downLoadSize"));
    EXPECT_EQ(quilltest::Md5Hex(served_), ReadResumeRecord(L"FPMD5"));
    EXPECT_EQ(nullptr, FindProgramWindow());
  }

  // A failed run: Retry offered, the window still up, no setup started.
  void ExpectRetryOffered(HWND window) {
    ASSERT_TRUE(WaitForRetryOrEnd(first_, window, 30000));
    EXPECT_EQ(-1, ExitCode(first_, 0));
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(ButtonVisible(window, kInstallDriverButton));
    EXPECT_TRUE(SetupStarts(0).empty());
  }

  quilltest::ScratchDir scratch_;
  quilltest::ScratchDir appData_;
  quilltest::ScratchDir temp_;
  quilltest::ScopedEnvironment environment_;
  quilltest::ScopedProgramKeys registry_;
  std::wstring program_;
  std::string served_;
  std::wstring serviceLog_;
  HANDLE service_ = nullptr;
  HANDLE first_ = nullptr;
  HANDLE second_ = nullptr;
  bool phoneHasFile_ = false;
  quilltest::FakeBridgeServer phone_;
  std::unique_ptr<quilltest::ScopedBridgePort> port_;
};

// Every reply cut at a random point in its first third: the user presses
// Retry whenever it is offered (a run gives up after five short passes), and
// the passes together bring the whole file, each resuming where the last
// stopped.
TEST_F(AcceptanceTest, ConnectionDroppedAtRandomOffsetsCompletesWithNoByteLostOrDoubled) {
  StartService(L"drop");
  HWND window = StartAndInstall(&first_);
  ASSERT_NE(nullptr, window);
  int retries = 0;
  while (WaitForRetryOrEnd(first_, window, 60000)) {
    ASSERT_LT(++retries, 12) << "still incomplete after that many runs";
    PressRetry(window);
  }
  ExpectSetupStartedFromTheServedFile(first_);
  const std::vector<FileRequest> requests = FileRequests();
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
  EXPECT_NE(std::string::npos, log.find(kSetupTarget + 4)) << log;
  EXPECT_EQ(1u, FileRequests().size());
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
  const std::vector<FileRequest> requests = FileRequests();
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
    const size_t firstRun = FileRequests().size();
    EXPECT_GE(firstRun, 1u);
    PressRetry(window);
    ExpectRetryOffered(window);
    EXPECT_EQ(0u, SetupFileLength());
    EXPECT_GT(FileRequests().size(), firstRun);
    // The record still names the package on offer for a later run.
    EXPECT_EQ(std::to_string(served_.size()), ReadResumeRecord(L"downLoadSize"));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(each.exitCode, ExitCode(first_, 10000));
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
  const std::vector<FileRequest> requests = FileRequests();
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
  EXPECT_EQ(2u, FileRequests().size());
  PressRetry(window);
  ExpectRetryOffered(window);
  EXPECT_FALSE(quilltest::FileExists(SetupFile()));
  EXPECT_EQ(4u, FileRequests().size());
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(2205, ExitCode(first_, 10000));  // not the publisher's file
}

// The first reply stops three quarters in and keeps the connection open:
// the pass ends at the receive time-out and the next one resumes.
TEST_F(AcceptanceTest, StalledServerTimesOutAndTheDownloadResumes) {
  StartService(L"stall");
  HWND window = StartAndInstall(&first_);
  ASSERT_NE(nullptr, window);
  ASSERT_TRUE(WaitForPartialFile(30000));
  EXPECT_EQ(-1, ExitCode(first_, 20000));  // still waiting on the stalled reply
  ExpectSetupStartedFromTheServedFile(first_);
  const std::vector<FileRequest> requests = FileRequests();
  ASSERT_EQ(2u, requests.size());
  EXPECT_GT(requests[1].rangeStart, 0);
}

// Killed hard while the service holds back the rest; started again, the
// program asks for the file from the partial size and finishes.
TEST_F(AcceptanceTest, KilledMidDownloadResumesFromThePartialFileWhenStartedAgain) {
  StartService(L"stall");
  StartAndInstall(&first_);
  ASSERT_TRUE(WaitForPartialFile(30000));
  Sleep(500);
  ASSERT_TRUE(TerminateProcess(first_, 9));
  ASSERT_EQ(9, ExitCode(first_, 10000));
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
  const std::vector<FileRequest> requests = FileRequests();
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
  EXPECT_EQ(0, ExitCode(first_, 30000));
  EXPECT_TRUE(quilltest::ReadFileBytes(SetupFile()) == onCard);
  std::vector<quilltest::RecordedStart> starts = SetupStarts(10000);
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

// A second start while the first downloads ends with 1618 (another copy is
// running) and leaves the first downloading, alone on the file.
TEST_F(AcceptanceTest, SecondInstanceWhileTheFirstDownloadsEndsAsAnotherCopyRunning) {
  StartService(L"stall");
  HWND window = StartAndInstall(&first_);
  ASSERT_NE(nullptr, window);
  ASSERT_TRUE(WaitForPartialFile(30000));
  // The service logs a request a moment after it arrives.
  const DWORD start = GetTickCount();
  while (FileRequests().empty() && GetTickCount() - start < 5000) {
    Sleep(20);
  }
  const int queries = QueryRequests();
  EXPECT_GE(queries, 1);
  second_ = Start();
  ASSERT_NE(nullptr, second_);
  EXPECT_EQ(1618, ExitCode(second_, 15000));
  EXPECT_EQ(-1, ExitCode(first_, 0));
  EXPECT_EQ(window, FindProgramWindow());
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(1u, FileRequests().size());
  EXPECT_EQ(queries, QueryRequests());  // the second asked nothing
  EXPECT_GT(SetupFileLength(), 0u);
  EXPECT_TRUE(SetupStarts(0).empty());
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(1602, ExitCode(first_, 10000));  // closed during its run
}

}  // namespace
