// The built program as administrators deploy it: unattended switches, the
// setup's silent install awaited, an offline layout served from a folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/package_service.h"
#include "tests/support/program_driver.h"
#include "tests/support/program_world.h"

namespace {

using quilltest::ExitCode;
using quilltest::kDeadlineMs;
using quilltest::ReadFileBytes;
using quilltest::WriteFileBytes;

class DeploymentTest : public quilltest::ProgramWorld {
 protected:
  void SetUp() override {
    ProgramWorld::SetUp();
    ASSERT_TRUE(WriteFileBytes(scratch_.File(L"SetupConfig.txt"),
                               "SetupParams=/interactive\r\nSetupQuietParams=/S /norestart\r\n"));
  }

  // The setup the service offers from now on.
  void Serve(const std::string& bytes) {
    served_ = bytes;
    ASSERT_TRUE(WriteFileBytes(scratch_.File(L"served.exe"), served_));
  }

  // The recorder stand-in downloaded as the setup ends with this code.
  void SetupExitsWith(const char* code) {
    CreateDirectoryW((appData_.Path() + L"\\Travik").c_str(), nullptr);
    CreateDirectoryW(WorkFolder().c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(SetupFile() + L".exitcode", code));
  }

  // The exit code of a run that must never show a window of its own.
  static int EndsWithoutWindow(HANDLE process, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (WaitForSingleObject(process, 50) == WAIT_TIMEOUT && GetTickCount() - start < timeoutMs) {
      EXPECT_FALSE(HasVisibleWindow(GetProcessId(process))) << "a window appeared";
    }
    return ExitCode(process, 0);
  }

  static bool HasVisibleWindow(DWORD processId) {
    struct Search {
      DWORD processId;
      bool found;
    } search = {processId, false};
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
          Search* search = reinterpret_cast<Search*>(context);
          DWORD owner = 0;
          GetWindowThreadProcessId(window, &owner);
          search->found = search->found || (owner == search->processId && IsWindowVisible(window));
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
  }
};

// /quiet: no window, the setup started with its silent parameters, awaited,
// and its "restart needed" handed on.
TEST_F(DeploymentTest, QuietFirstJobAwaitsTheSilentSetupAndPassesItsCodeOn) {
  StartService(L"none");
  SetupExitsWith("3010");
  first_ = Start(L"-QUIET");
  ASSERT_NE(nullptr, first_);
  EXPECT_EQ(3010, EndsWithoutWindow(first_, kDeadlineMs));
  const std::vector<quilltest::RecordedStart> starts = SetupStarts(0);
  ASSERT_EQ(1u, starts.size());
  EXPECT_EQ(L"/S /norestart", starts[0].arguments);
}

// An unsigned setup on offer: nothing starts and the code says why.
TEST_F(DeploymentTest, QuietRefusesAnUnsignedSetup) {
  Serve(ReadFileBytes(quilltest::StandInPath(L"recorder-unsigned.exe")));
  StartService(L"none");
  first_ = Start(L"/quiet");
  EXPECT_EQ(2205, EndsWithoutWindow(first_, kDeadlineMs));
  EXPECT_TRUE(SetupStarts(0).empty());
}

// /passive: the window shows the run, which needs no click and closes.
TEST_F(DeploymentTest, PassiveCompletesWithNoInput) {
  StartService(L"none");
  first_ = Start(L"/passive");
  EXPECT_NE(nullptr, WaitForWindow(kDeadlineMs));
  EXPECT_EQ(0, ExitCode(first_, kDeadlineMs));
  const std::vector<quilltest::RecordedStart> starts = SetupStarts(0);
  ASSERT_EQ(1u, starts.size());
  EXPECT_EQ(L"/S /norestart", starts[0].arguments);
}

// An unattended copy beside a running one ends at once and shows nothing;
// so does a bad command line, before it starts anything.
TEST_F(DeploymentTest, SecondUnattendedCopyAndBadSwitchesEndAtOnce) {
  StartService(L"stall");
  HWND window = StartAndInstall(&first_);
  ASSERT_NE(nullptr, window);
  // A /log path of thousands of levels, as long as a command line allows.
  std::wstring deepLog = L"/quiet /log " + scratch_.Path();
  while (deepLog.size() < 22000) {
    deepLog += L"\\d";
  }
  const struct {
    const wchar_t* switches;
    int exitCode;
  } cases[] = {{L"/quiet", 1618},     {L"/passive", 1618},    {L"/quiet /bogus", 87},
               {L"/quiet /log", 87},  {L"/bogus /quiet", 87}, {L"/lang fr -QUIET", 87},
               {L"/lang /quiet", 87}, {deepLog.c_str(), 87}};
  for (const auto& each : cases) {
    second_ = Start(each.switches);
    EXPECT_EQ(each.exitCode, EndsWithoutWindow(second_, kDeadlineMs)) << each.switches;
    EXPECT_EQ(window, FindProgramWindow());
    quilltest::EndProcess(&second_);
  }
  EXPECT_TRUE(SetupStarts(0).empty());
}

// /layout fills a folder on one PC; /source installs from it on a PC whose
// service is out of reach, and refuses a copy changed by one byte.
TEST_F(DeploymentTest, LayoutThenSourceInstallsOfflineAndRefusesAChangedCopy) {
  StartService(L"none");
  const std::wstring share = scratch_.File(L"deploy share\\suite");
  const std::wstring log = scratch_.File(L"admin logs\\quill mini.log");
  first_ = Start(L"/quiet /layout \"" + share + L"\" /log \"" + log + L"\"");
  ASSERT_EQ(0, EndsWithoutWindow(first_, kDeadlineMs));
  quilltest::EndProcess(&first_);
  const std::wstring laidOut = share + L"\\Quillnest_SetUp_mini.exe";
  EXPECT_TRUE(ReadFileBytes(laidOut) == served_);
  const std::string manifest = ReadFileBytes(share + L"\\SetupLayout.txt");
  EXPECT_NE(std::string::npos, manifest.find("Size=" + std::to_string(served_.size()) + "\r\n"));
  EXPECT_NE(std::string::npos, manifest.find("MD5=" + quilltest::Md5Hex(served_) + "\r\n"));
  EXPECT_TRUE(SetupStarts(0).empty());

  // Another PC: no earlier copy, no record, no service.
  StopService();
  DeleteFileW(SetupFile().c_str());
  quilltest::DeleteProgramKeys();
  first_ = Start(L"/quiet /source \"" + share + L"\" /log \"" + log + L"\"");
  EXPECT_EQ(0, EndsWithoutWindow(first_, kDeadlineMs));
  quilltest::EndProcess(&first_);
  EXPECT_EQ(1u, quilltest::WaitForRecordedStarts(laidOut + L".log", 1, kDeadlineMs).size());

  std::string changed = served_;
  changed[changed.size() / 2] ^= 1;
  ASSERT_TRUE(WriteFileBytes(laidOut, changed));
  first_ = Start(L"/quiet /source \"" + share + L"\" /log \"" + log + L"\"");
  EXPECT_EQ(2201, EndsWithoutWindow(first_, kDeadlineMs));  // then no connection
  EXPECT_TRUE(ReadFileBytes(laidOut) == changed) << "the folder's copy is left as it was";
  EXPECT_EQ(1u, quilltest::ReadRecordedStarts(laidOut + L".log").size());

  // One log, a header per run.
  const std::string written = ReadFileBytes(log);
  size_t runs = 0;
  for (size_t at = written.find("==== QuillnestMini started"); at != std::string::npos;
       at = written.find("==== QuillnestMini started", at + 1)) {
    ++runs;
  }
  EXPECT_EQ(3u, runs) << written;
  EXPECT_NE(std::string::npos, written.find("source folder")) << written;
}

}  // namespace
