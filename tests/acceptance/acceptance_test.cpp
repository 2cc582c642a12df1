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
#include "tests/support/stand_ins.h"
#include "tests/support/program_driver.h"
#include "tests/support/test_files.h"

namespace {

using quilltest::ButtonVisible;
using quilltest::ExitCode;

const wchar_t kRunMarkKey[] = L"SOFTWARE\\QuillnestMini";
const wchar_t kSuiteKey[] = L"SOFTWARE\\Quillnest";
const wchar_t kResumeKey[] = L"SOFTWARE\\VeziDazedera";
const char kSetupTarget[] = "GET /downloads/Quillnest_full_setup.exe";
const char kQueryTarget[] = "GET /adpserver/GetVIByAKFWPC";
const int kRetryButton = 1004;
const int kInstallDriverButton = 1005;

std::wstring Backslashed(std::wstring path) {
  for (wchar_t& c : path) {
    if (c == L'/')
      c = L'\\';
  }
  return path;
}

std::wstring Env(const wchar_t* name) {
  wchar_t value[1024] = {};
  GetEnvironmentVariableW(name, value, 1024);
  return value;
}

// A string value of HKCU, or "<missing>".
std::string ReadUserString(const wchar_t* key, const char* name) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) {
    return "<missing>";
  }
  char data[128] = {};
  DWORD size = sizeof(data) - 1;
  DWORD type = 0;
  LONG result =
      RegQueryValueExA(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(handle);
  if (result != ERROR_SUCCESS || type != REG_SZ) {
    return "<missing>";
  }
  return std::string(data, size).c_str();
}

// One request of the setup file as the service logged it.
struct FileRequest {
  long long rangeStart;  // -1 without a Range header
};

class AcceptanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    program_ = scratch_.File(L"QuillnestMini.exe");
    ASSERT_TRUE(CopyFileW(Backslashed(QUILL_PROGRAM_EXE).c_str(), program_.c_str(), FALSE));
    CleanRegistry();
    for (int i = 0; i < 3; ++i) {
      saved_[i] = Env(kSavedNames[i]);
    }
    SetEnvironmentVariableW(L"APPDATA", appData_.Path().c_str());
    SetEnvironmentVariableW(L"TMP", temp_.Path().c_str());
    SetEnvironmentVariableW(L"TEMP", temp_.Path().c_str());
    // The served setup is the recorder stand-in, so its start is logged;
    // its large copy spans several of the downloader's 1 MiB reads.
    served_ = quilltest::ReadFileBytes(quilltest::StandInPath(L"recorder-large.exe"));
    ASSERT_GT(served_.size(), 4u * 1024 * 1024);
    ASSERT_TRUE(quilltest::WriteFileBytes(scratch_.File(L"served.exe"), served_));
  }

  void TearDown() override {
    for (HANDLE process : {first_, second_}) {
      if (process != nullptr) {
        TerminateProcess(process, 1);
        WaitForSingleObject(process, 5000);
        CloseHandle(process);
      }
    }
    StopService();
    SetEnvironmentVariableA("QUILL_TEST_SERVICE_URL", nullptr);
    quilltest::EndProcessesNamed(L"Quillnest_SetUp_mini.exe");
    quilltest::EndProcessesNamed(L"adb.exe");
    CleanRegistry();
    for (int i = 0; i < 3; ++i) {
      SetEnvironmentVariableW(kSavedNames[i], saved_[i].c_str());
    }
  }

  static void CleanRegistry() {
    RegDeleteKeyExW(HKEY_CURRENT_USER, kResumeKey, 0, 0);
    RegDeleteKeyExW(HKEY_CURRENT_USER, kRunMarkKey, 0, 0);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kSuiteKey, KEY_WOW64_32KEY, 0);
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
    SetEnvironmentVariableA("QUILL_TEST_SERVICE_URL", address.c_str());
  }

  void StopService() {
    if (service_ != nullptr) {
      TerminateProcess(service_, 1);
      WaitForSingleObject(service_, 5000);
      CloseHandle(service_);
      service_ = nullptr;
    }
  }

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

  // Presses a button of the program's window as a user would.
  static void Press(HWND window, int id) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(GetDlgItem(window, id), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 10000, &result);
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
      Press(window, kRetryButton);
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
    std::vector<quilltest::RecordedStart> starts;
    const DWORD start = GetTickCount();
    for (;;) {
      starts = quilltest::ReadRecordedStarts(SetupFile() + L".log");
      if (!starts.empty() || GetTickCount() - start >= timeoutMs) {
        return starts;
      }
      Sleep(50);
    }
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
      Press(window, kInstallDriverButton);
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
    EXPECT_EQ(std::to_string(served_.size()), ReadUserString(kResumeKey, "downLoadSize"));
    std::string servedDigest;
    EXPECT_TRUE(rerozadez::GetFileMd5(scratch_.File(L"served.exe"), true, &servedDigest).ok());
    EXPECT_EQ(servedDigest, ReadUserString(kResumeKey, "FPMD5"));
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

  static const wchar_t* const kSavedNames[3];
  std::wstring saved_[3];
  quilltest::ScratchDir scratch_;
  quilltest::ScratchDir appData_;
  quilltest::ScratchDir temp_;
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

const wchar_t* const AcceptanceTest::kSavedNames[3] = {L"APPDATA", L"TMP", L"TEMP"};

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
  const std::wstring proxy = L"127.0.0.1:" + std::to_wstring(std::atoi(state.c_str() + at + 6));
  // Windows' proxy settings, removed again however the case ends.
  struct SystemProxy {
    explicit SystemProxy(const std::wstring& server) { Set(1, server); }
    ~SystemProxy() { Set(0, L""); }
    static void Set(DWORD enable, const std::wstring& server) {
      HKEY key = nullptr;
      RegCreateKeyExW(HKEY_CURRENT_USER,
                      L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", 0,
                      nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
      RegSetValueExW(key, L"ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(server.c_str()),
                     static_cast<DWORD>((server.size() + 1) * sizeof(wchar_t)));
      RegSetValueExW(key, L"ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&enable),
                     sizeof(enable));
      RegCloseKey(key);
    }
  } systemProxy(proxy);
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
  for (const wchar_t* fault : {L"status-404", L"status-500", L"status-416", L"empty"}) {
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
    EXPECT_EQ(std::to_string(served_.size()), ReadUserString(kResumeKey, "downLoadSize"));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, ExitCode(first_, 10000));
    CloseHandle(first_);
    first_ = nullptr;
    StopService();
    DeleteFileW(SetupFile().c_str());
    DeleteFileW(serviceLog_.c_str());
    CleanRegistry();
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
  EXPECT_EQ(0, ExitCode(first_, 10000));
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

// A second start while the first downloads ends with 0 and leaves the first
// downloading, alone on the file.
TEST_F(AcceptanceTest, SecondInstanceWhileTheFirstDownloadsEndsWithZero) {
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
  EXPECT_EQ(0, ExitCode(second_, 15000));
  EXPECT_EQ(-1, ExitCode(first_, 0));
  EXPECT_EQ(window, FindProgramWindow());
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(1u, FileRequests().size());
  EXPECT_EQ(queries, QueryRequests());  // the second asked nothing
  EXPECT_GT(SetupFileLength(), 0u);
  EXPECT_TRUE(SetupStarts(0).empty());
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(0, ExitCode(first_, 10000));
}

}  // namespace
