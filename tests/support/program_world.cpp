#include "tests/support/program_world.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "resources/resource_ids.h"
#include "app/resource_util.h"
#include "app/skin_layout.h"
#include "tests/support/package_service.h"
#include "tests/support/program_driver.h"

namespace quilltest {

using rerozadezGUI::kInstallDriverButtonId;
using rerozadezGUI::kRetryButtonId;

void ProgramWorld::SetUp() {
  program_ = scratch_.File(L"QuillnestMini.exe");
  ASSERT_TRUE(CopyFileW(Backslashed(QUILL_PROGRAM_EXE).c_str(), program_.c_str(), FALSE));
  MoveAppDataTo(appData_.Path());
  // The served setup is the recorder stand-in, so its start is logged;
  // its large copy spans several of the downloader's 1 MiB reads.
  served_ = ReadFileBytes(StandInPath(L"recorder-large.exe"));
  ASSERT_GT(served_.size(), 4u * 1024 * 1024);
  ASSERT_TRUE(WriteFileBytes(scratch_.File(L"served.exe"), served_));
}

void ProgramWorld::TearDown() {
  EndProcess(&first_);
  EndProcess(&second_);
  StopService();
  EndProcessesNamed(L"Quillnest_SetUp_mini.exe");
  EndProcessesNamed(L"adb.exe");
}

void ProgramWorld::StartPhone() {
  if (!phoneHasFile_) {
    phone_.SetBehaviour(FakeBridgeServer::Behaviour::kNoDevice);
  }
  ASSERT_TRUE(phone_.Start());
  port_.reset(new ScopedBridgePort(phone_.Port()));
}

void ProgramWorld::StartService(const wchar_t* fault, const std::wstring& where) {
  if (!port_) {
    StartPhone();
  }
  serviceLog_ = scratch_.File(L"service.log");
  DeleteFileW(serviceLog_.c_str());  // a service started again logs afresh
  std::wstring exe = Backslashed(QUILL_DEMO_SERVICE_EXE);
  std::wstring commandLine = L"\"" + exe + L"\" " + where + L" \"" + scratch_.File(L"served.exe") +
                             L"\" " + fault + L" \"" + serviceLog_ + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  ASSERT_TRUE(CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                             CREATE_NO_WINDOW, nullptr, scratch_.Path().c_str(), &startup,
                             &process));
  CloseHandle(process.hThread);
  service_ = process.hProcess;
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < kDeadlineMs &&
         ReadFileBytes(serviceLog_).find("offering version") == std::string::npos) {
    ASSERT_NE(WAIT_OBJECT_0, WaitForSingleObject(service_, 50)) << "the service ended";
  }
  const std::string log = ReadFileBytes(serviceLog_);
  ASSERT_NE(std::string::npos, log.find("offering version"));
  // The service took a free port; the program under test is told which.
  const char kServingOn[] = "demo package service on ";
  const size_t at = log.find(kServingOn);
  ASSERT_NE(std::string::npos, at);
  const size_t from = at + sizeof(kServingOn) - 1;
  const std::string address = log.substr(from, log.find(' ', from) - from);
  environment_.Set(L"QUILL_TEST_SERVICE_URL", address);
}

void ProgramWorld::StopService() {
  EndProcess(&service_);
}

std::vector<FileRequest> ProgramWorld::FileRequests(size_t atLeast) const {
  std::vector<FileRequest> requests;
  WaitUntil(
      [&] {
        requests = LoggedFileRequests();
        return requests.size() >= atLeast;
      },
      kDeadlineMs);
  return requests;
}

std::vector<FileRequest> ProgramWorld::LoggedFileRequests() const {
  std::vector<FileRequest> requests;
  std::istringstream lines(ReadFileBytes(serviceLog_));
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

int ProgramWorld::QueryRequests() const {
  int count = 0;
  std::istringstream lines(ReadFileBytes(serviceLog_));
  std::string line;
  while (std::getline(lines, line)) {
    count += line.compare(0, sizeof(kQueryTarget) - 1, kQueryTarget) == 0 ? 1 : 0;
  }
  return count;
}

HANDLE ProgramWorld::Start(const std::wstring& parameters) {
  return StartProgram(program_, scratch_.Path(), parameters);
}

HWND ProgramWorld::FindProgramWindow() {
  return FindWindowW(rerozadez::GetResourceUtil()->LoadStringText(IDS_WINDOW_CLASS).c_str(),
                     nullptr);
}

HWND ProgramWorld::WaitForWindow(DWORD timeoutMs) {
  return WaitForWindowWithButtons(rerozadez::GetResourceUtil()->LoadStringText(IDS_WINDOW_CLASS),
                                  timeoutMs);
}

bool ProgramWorld::WaitForRetryOrEnd(HANDLE process, HWND window, DWORD timeoutMs) {
  const auto ended = [process] { return WaitForSingleObject(process, 0) == WAIT_OBJECT_0; };
  if (!WaitUntil([&] { return ended() || ButtonVisible(window, kRetryButtonId); }, timeoutMs)) {
    ADD_FAILURE() << "neither Retry nor the end within " << timeoutMs << " ms";
    return false;
  }
  return !ended();
}

void ProgramWorld::PressRetry(HWND window) {
  const auto offered = [window] { return ButtonVisible(window, kRetryButtonId); };
  for (int attempt = 0; attempt < 10 && offered(); ++attempt) {
    PressButton(window, kRetryButtonId);
    WaitUntil([&] { return !offered(); }, 2000);
  }
  EXPECT_FALSE(ButtonVisible(window, kRetryButtonId));
}

void ProgramWorld::MoveAppDataTo(const std::wstring& folder) {
  appDataPath_ = folder;
  environment_.RedirectWorkFolders(folder, temp_.Path());
}

std::wstring ProgramWorld::WorkFolder() const {
  return appDataPath_ + L"\\Travik\\rerozadez";
}

uint64_t ProgramWorld::SetupFileLength() const {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!GetFileAttributesExW(SetupFile().c_str(), GetFileExInfoStandard, &data)) {
    return 0;
  }
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::vector<RecordedStart> ProgramWorld::SetupStarts(DWORD timeoutMs) const {
  return WaitForRecordedStarts(SetupFile() + L".log", 1, timeoutMs);
}

HWND ProgramWorld::StartAndInstall(HANDLE* process) {
  *process = Start();
  EXPECT_NE(nullptr, *process);
  if (*process == nullptr) {
    return nullptr;
  }
  HWND window = WaitForWindow(kDeadlineMs);
  EXPECT_NE(nullptr, window);
  if (window != nullptr) {
    PressButton(window, kInstallDriverButtonId);
  }
  return window;
}

bool ProgramWorld::WaitForPartialFile(DWORD timeoutMs) const {
  return WaitUntil([this] { return SetupFileLength() > 0; }, timeoutMs);
}

void ProgramWorld::ExpectSetupStartedFromTheServedFile(HANDLE process) {
  EXPECT_EQ(0, ExitCode(process, kDeadlineMs));
  EXPECT_TRUE(ReadFileBytes(SetupFile()) == served_) << "setup file differs";
  std::vector<RecordedStart> starts = SetupStarts(kDeadlineMs);
  ASSERT_EQ(1u, starts.size());
  EXPECT_EQ(L"Quillnest_SetUp_mini.exe", starts[0].program);
  EXPECT_EQ(std::to_string(served_.size()), ReadResumeRecord(L"downLoadSize"));
  EXPECT_EQ(Md5Hex(served_), ReadResumeRecord(L"FPMD5"));
  EXPECT_EQ(nullptr, FindProgramWindow());
}

void ProgramWorld::ExpectRetryOffered(HWND window) {
  ASSERT_TRUE(WaitForRetryOrEnd(first_, window, kDeadlineMs));
  EXPECT_EQ(-1, ExitCode(first_, 0));
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_FALSE(ButtonVisible(window, kInstallDriverButtonId));
  EXPECT_TRUE(SetupStarts(0).empty());
}

}  // namespace quilltest
