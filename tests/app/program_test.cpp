// The built program started as a user starts it: a copy in a scratch folder
// with its SetupConfig.txt, working folders of its own, the registry of the
// test prefix, stand-in programs, and its window found by class name.
#include <windows.h>

#include <commctrl.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cwctype>
#include <string>

#include "resources/resource_ids.h"
#include "app/resource_util.h"
#include "app/skin_layout.h"
#include "platform/file_digest.h"
#include "platform/scoped.h"
#include "settings/sys_util.h"
#include "tests/support/fake_bridge_server.h"
#include "tests/support/package_service.h"
#include "tests/support/program_driver.h"
#include "tests/support/program_world.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/stand_ins.h"
#include "tests/support/test_files.h"
#include "tests/support/test_registry.h"

namespace {

using namespace rerozadezGUI;
using quilltest::ButtonVisible;
using quilltest::ExitCode;
using quilltest::kDeadlineMs;
using quilltest::kMissingValue;
using quilltest::PressButton;
using quilltest::ReadRegistryText;
using quilltest::SetRegistryText;

const wchar_t kRunMarkKey[] = L"SOFTWARE\\QuillnestMini";
const wchar_t kAppDefaults[] = L"Software\\Wine\\AppDefaults\\QuillnestMini.exe";
const wchar_t kPlayerFolder[] = L"C:\\Program Files\\Windows Media Player";

std::wstring Text(UINT id, rerozadez::UiLanguage language) {
  return rerozadez::GetResourceUtil()->LoadStringText(id, language);
}

std::wstring WindowText(HWND window) {
  wchar_t text[256] = L"";
  GetWindowTextW(window, text, 256);
  return text;
}

// The program world of the whole-program cases, with the Windows XP and
// media player settings some of these cases change.
class ProgramTest : public quilltest::ProgramWorld {
 protected:
  void TearDown() override {
    quilltest::EndProcess(&leftTool_);
    quilltest::EndProcess(&otherTool_);
    quilltest::DeleteKeyTree(HKEY_CURRENT_USER, kAppDefaults, 0);
    DeleteFileW((std::wstring(kPlayerFolder) + L"\\wmplayer.exe").c_str());
    ProgramWorld::TearDown();
  }

  void WriteConfig(const std::string& text) {
    ASSERT_TRUE(quilltest::WriteFileBytes(scratch_.File(L"SetupConfig.txt"), text));
  }

  void UseOldWindowsWithPlayer(const wchar_t* standIn) {
    ASSERT_TRUE(SetRegistryText(HKEY_CURRENT_USER, kAppDefaults, L"Version", L"winxp", 0));
    // Wine answers version queries for any wmplayer.exe with its own built-in
    // player's block unless told to read the file that is there.
    ASSERT_TRUE(SetRegistryText(HKEY_CURRENT_USER, std::wstring(kAppDefaults) + L"\\DllOverrides",
                                L"wmplayer.exe", L"native", 0));
    CreateDirectoryW(L"C:\\Program Files", nullptr);
    CreateDirectoryW(kPlayerFolder, nullptr);
    ASSERT_TRUE(CopyFileW((quilltest::ModuleDir() + standIn).c_str(),
                          (std::wstring(kPlayerFolder) + L"\\wmplayer.exe").c_str(), FALSE));
  }

  // adb.exe left running in the working folder, and a developer's elsewhere.
  quilltest::ScratchDir elsewhere_;
  HANDLE leftTool_ = nullptr;
  HANDLE otherTool_ = nullptr;
};

// The full path of the module name (compared without regard to case) in the
// process processId, or empty.
std::wstring ModulePath(DWORD processId, const wchar_t* name) {
  rerozadez::ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId));
  std::wstring path;
  MODULEENTRY32W module = {};
  module.dwSize = sizeof(module);
  for (BOOL more = snapshot.IsValid() && Module32FirstW(snapshot.Get(), &module);
       more && path.empty(); more = Module32NextW(snapshot.Get(), &module)) {
    if (lstrcmpiW(module.szModule, name) == 0) {
      path = module.szExePath;
    }
  }
  std::transform(path.begin(), path.end(), path.begin(), towlower);
  return path;
}

// Where the window's creation unpacks the bridge tool.
std::wstring DeployedBridgeTool() {
  wchar_t temp[MAX_PATH] = L"";
  GetTempPathW(MAX_PATH, temp);
  return std::wstring(temp) + L"Travik\\rerozadez\\adb.exe";
}

TEST_F(ProgramTest, FirstStartWritesTheRunMarkShowsTheWindowAndClosedEndsAsTheUsersChoice) {
  DeleteFileW(DeployedBridgeTool().c_str());
  const DWORD started = GetTickCount();
  first_ = Start();
  ASSERT_NE(nullptr, first_);
  HWND window = WaitForWindow(kDeadlineMs);
  ASSERT_NE(nullptr, window);
  // A figure for the report, not a limit.
  std::printf("window shown %lu ms after the start\n",
              static_cast<unsigned long>(GetTickCount() - started));
  EXPECT_EQ(L"true", ReadRegistryText(HKEY_CURRENT_USER, kRunMarkKey, L"installed"));
  EXPECT_TRUE(quilltest::FileExists(DeployedBridgeTool()));
  EXPECT_TRUE(ButtonVisible(window, kInstallDriverButtonId));
  EXPECT_FALSE(ButtonVisible(window, kDetailsButtonId));
  // The system's Close ends the program like the close button: closed by
  // the user before a run.
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(1602, ExitCode(first_, kDeadlineMs));
}

TEST_F(ProgramTest, EndsTheBridgeToolLeftInItsWorkingFolderAndNoOtherAdb) {
  // %TEMP% in short form, as Windows often gives it.
  wchar_t shortTemp[MAX_PATH] = L"";
  ASSERT_GT(GetShortPathNameW(temp_.Path().c_str(), shortTemp, MAX_PATH), 0u);
  ASSERT_NE(temp_.Path(), shortTemp);
  environment_.RedirectWorkFolders(appData_.Path(), shortTemp);
  const std::wstring left = temp_.Path() + L"\\Travik\\rerozadez\\adb.exe";
  ASSERT_TRUE(CreateDirectoryW(temp_.File(L"Travik").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(temp_.File(L"Travik\\rerozadez").c_str(), nullptr));
  ASSERT_TRUE(quilltest::CopyStandIn(L"sleeper.exe", left));
  ASSERT_TRUE(quilltest::CopyStandIn(L"sleeper.exe", elsewhere_.File(L"adb.exe")));
  // Sleepers end by themselves after 20 s: the checks come well before.
  leftTool_ = quilltest::StartProgram(left, L"");
  otherTool_ = quilltest::StartProgram(elsewhere_.File(L"adb.exe"), L"");
  first_ = Start();
  ASSERT_TRUE(leftTool_ != nullptr && otherTool_ != nullptr && first_ != nullptr);
  HWND window = WaitForWindow(kDeadlineMs);
  ASSERT_NE(nullptr, window);
  EXPECT_NE(-1, ExitCode(leftTool_, 0));  // ended before the tool was unpacked
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(1602, ExitCode(first_, kDeadlineMs));
  EXPECT_EQ(-1, ExitCode(otherTool_, 0));
}

TEST_F(ProgramTest, SecondInstanceRaisesTheFirstAndLeavesTheRegistryAlone) {
  first_ = Start();
  ASSERT_NE(nullptr, first_);
  HWND window = WaitForWindow(kDeadlineMs);
  ASSERT_NE(nullptr, window);
  quilltest::DeleteKeyTree(HKEY_CURRENT_USER, kRunMarkKey);
  // Minimized by its own button: the second start must bring it back.
  SendMessageW(window, WM_COMMAND, kMinimizeButtonId, 0);
  ASSERT_TRUE(IsIconic(window));

  second_ = Start();
  ASSERT_NE(nullptr, second_);
  EXPECT_EQ(1618, ExitCode(second_, kDeadlineMs));  // another copy is running
  EXPECT_EQ(kMissingValue, ReadRegistryText(HKEY_CURRENT_USER, kRunMarkKey, L"installed"));
  EXPECT_EQ(-1, ExitCode(first_, 0));  // the first one runs on
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_FALSE(IsIconic(window));
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(1602, ExitCode(first_, kDeadlineMs));
}

// A Chinese copy and an English one are one program: the English start
// ends with 1618 and raises the Chinese window. Alone, the English copy (the
// switch over the configured Chinese) names every control in English.
TEST_F(ProgramTest, EnglishCopyFindsTheChineseOneAndShowsEnglishAlone) {
  using rerozadez::UiLanguage;
  WriteConfig("Language=zh\r\n");
  first_ = Start();
  ASSERT_NE(nullptr, first_);
  HWND window = WaitForWindow(kDeadlineMs);
  ASSERT_NE(nullptr, window);
  EXPECT_EQ(Text(IDS_WINDOW_TITLE, UiLanguage::kChinese), WindowText(window));
  SendMessageW(window, WM_COMMAND, kMinimizeButtonId, 0);
  ASSERT_TRUE(IsIconic(window));
  second_ = quilltest::StartProgram(program_, scratch_.Path(), L"/lang en");
  ASSERT_NE(nullptr, second_);
  EXPECT_EQ(1618, ExitCode(second_, kDeadlineMs));
  EXPECT_FALSE(IsIconic(window));
  PostMessageW(window, WM_CLOSE, 0, 0);
  ASSERT_EQ(1602, ExitCode(first_, kDeadlineMs));
  quilltest::EndProcess(&first_);

  first_ = quilltest::StartProgram(program_, scratch_.Path(), L"/lang en");
  ASSERT_NE(nullptr, first_);
  window = WaitForWindow(kDeadlineMs);
  ASSERT_NE(nullptr, window);
  const struct {
    int control;  // 0: the window itself
    UINT text;
  } named[] = {{0, IDS_WINDOW_TITLE},
               {kProgressBarId, IDS_PROGRESS_NAME},
               {kMinimizeButtonId, IDS_MINIMIZE_NAME},
               {kCloseButtonId, IDS_CLOSE_NAME},
               {kRetryButtonId, IDS_RETRY},
               {kInstallDriverButtonId, IDS_INSTALL_DRIVER},
               {kCancelButtonId, IDS_CANCEL},
               {kOpenPageButtonId, IDS_OPEN_PAGE},
               {kBackButtonId, IDS_BACK},
               {kDetailsButtonId, IDS_DETAILS}};
  for (const auto& each : named) {
    HWND control = each.control == 0 ? window : GetDlgItem(window, each.control);
    EXPECT_EQ(Text(each.text, UiLanguage::kEnglish), WindowText(control)) << each.control;
  }
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(1602, ExitCode(first_, kDeadlineMs));
}

TEST_F(ProgramTest, InstalledSuiteWithoutADriverEndsAtOnceWithoutAWindow) {
  ASSERT_TRUE(quilltest::MarkSuiteInstalled(L"3.1.0", L"C:\\Quillnest"));
  WriteConfig("Driver=missing_driver.exe\r\n");
  first_ = Start();
  ASSERT_NE(nullptr, first_);
  EXPECT_EQ(0, ExitCode(first_, kDeadlineMs));
  EXPECT_EQ(nullptr, FindProgramWindow());
  EXPECT_EQ(kMissingValue, ReadRegistryText(HKEY_CURRENT_USER, kRunMarkKey, L"installed"));
}

TEST_F(ProgramTest, InstalledSuiteStartsTheDriverInstallerWithItsParameters) {
  ASSERT_TRUE(quilltest::MarkSuiteInstalled(L"3.1.0", L"C:\\Quillnest"));
  ASSERT_TRUE(quilltest::CopyStandIn(L"recorder.exe", scratch_.File(L"driver_setup.exe")));
  WriteConfig("Driver=driver_setup.exe\r\nDriverParams=/S /quiet\r\n");
  first_ = Start();
  ASSERT_NE(nullptr, first_);
  EXPECT_EQ(0, ExitCode(first_, kDeadlineMs));
  EXPECT_EQ(nullptr, FindProgramWindow());
  const std::vector<quilltest::RecordedStart> starts =
      quilltest::WaitForRecordedStarts(scratch_.File(L"driver_setup.exe.log"), 1, kDeadlineMs);
  ASSERT_EQ(1u, starts.size());
  EXPECT_EQ(L"driver_setup.exe", starts[0].program);
  EXPECT_NE(std::wstring::npos, starts[0].arguments.find(L"/S /quiet"));
  EXPECT_EQ(SW_SHOWNORMAL, starts[0].show);
}

TEST_F(ProgramTest, OverSeaWithoutAHintEndsRightAfterTheWindowWithZero) {
  DeleteFileW(DeployedBridgeTool().c_str());
  WriteConfig("OverSea=1\r\nMediaPlayer=1\r\n");
  first_ = Start();
  ASSERT_NE(nullptr, first_);
  EXPECT_EQ(0, ExitCode(first_, kDeadlineMs));
  // The window was made: the run mark came first, the bridge tool with it.
  EXPECT_EQ(L"true", ReadRegistryText(HKEY_CURRENT_USER, kRunMarkKey, L"installed"));
  EXPECT_TRUE(quilltest::FileExists(DeployedBridgeTool()));
}

TEST_F(ProgramTest, OldPlayerOnWindowsXpShowsTheHintScreen) {
  UseOldWindowsWithPlayer(L"stand_in_player_v9.exe");
  WriteConfig("MediaPlayer=1\r\n");
  first_ = Start();
  ASSERT_NE(nullptr, first_);
  HWND window = WaitForWindow(kDeadlineMs);
  ASSERT_NE(nullptr, window);
  ASSERT_TRUE(quilltest::WaitUntil([window] { return ButtonVisible(window, kDetailsButtonId); },
                                   kDeadlineMs));
  EXPECT_TRUE(ButtonVisible(window, kInstallDriverButtonId));
  EXPECT_FALSE(ButtonVisible(window, kOpenPageButtonId));
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(1602, ExitCode(first_, kDeadlineMs));
}

TEST_F(ProgramTest, OverSeaWithAnOldPlayerOpensOnTheDetailsScreen) {
  UseOldWindowsWithPlayer(L"stand_in_player_v9.exe");
  WriteConfig("OverSea=1\r\nMediaPlayer=1\r\n");
  first_ = Start();
  ASSERT_NE(nullptr, first_);
  HWND window = WaitForWindow(kDeadlineMs);
  ASSERT_NE(nullptr, window);
  ASSERT_TRUE(quilltest::WaitUntil([window] { return ButtonVisible(window, kOpenPageButtonId); },
                                   kDeadlineMs));
  EXPECT_FALSE(ButtonVisible(window, kInstallDriverButtonId));
  EXPECT_FALSE(ButtonVisible(window, kDetailsButtonId));
  EXPECT_FALSE(ButtonVisible(window, kBackButtonId));
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(1602, ExitCode(first_, kDeadlineMs));
}

TEST_F(ProgramTest, OverSeaWithPlayerElevenOnWindowsXpEndsWithZero) {
  UseOldWindowsWithPlayer(L"stand_in_player_v11.exe");
  WriteConfig("OverSea=1\r\nMediaPlayer=1\r\n");
  first_ = Start();
  ASSERT_NE(nullptr, first_);
  EXPECT_EQ(0, ExitCode(first_, kDeadlineMs));
}

// A whole run against a loopback package service on a port of its own (the
// test build of the program takes the address from QUILL_TEST_SERVICE_URL)
// and a phone without a device.
class ProgramRunTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    StartPhone();
    ASSERT_TRUE(server_.Start());
    environment_.Set(L"QUILL_TEST_SERVICE_URL", server_.BaseUrl());
  }
  void TearDown() override {
    ProgramTest::TearDown();
    server_.Stop();
  }

  // Offers the recorder stand-in as the full setup; returns its bytes. Its
  // large copy spans several of the downloader's 1 MiB reads.
  std::string OfferSetup(long long stallAfterBytes = -1, bool large = false) {
    const std::string bytes = quilltest::ReadFileBytes(
        quilltest::StandInPath(large ? L"recorder-large.exe" : L"recorder.exe"));
    EXPECT_FALSE(bytes.empty());
    server_.Offer(QUILL_SETUP_VERSION, bytes, "/files/full.exe");
    if (stallAfterBytes >= 0) {
      quilltest::HttpRoute setup;
      setup.body = bytes;
      setup.stallAfterBytes = stallAfterBytes;
      setup.stallMilliseconds = 60000;
      server_.SetRoute("/files/full.exe", setup);
    }
    return bytes;
  }
  std::wstring LogFile() const { return temp_.Path() + L"\\Travik\\rerozadez\\QuillnestMini.log"; }

  quilltest::PackageService server_;
};

TEST_F(ProgramRunTest, InstallDriverPressedRunsToTheFullSetupAndTheProgramEnds) {
  const std::string bytes = OfferSetup();
  first_ = Start();
  ASSERT_NE(nullptr, first_);
  HWND window = WaitForWindow(kDeadlineMs);
  ASSERT_NE(nullptr, window);
  PressButton(window, kInstallDriverButtonId);
  EXPECT_EQ(0, ExitCode(first_, kDeadlineMs));
  EXPECT_EQ(bytes, quilltest::ReadFileBytes(SetupFile()));
  const std::vector<quilltest::RecordedStart> starts =
      quilltest::WaitForRecordedStarts(SetupFile() + L".log", 1, kDeadlineMs);
  ASSERT_EQ(1u, starts.size());
  EXPECT_EQ(L"Quillnest_SetUp_mini.exe", starts[0].program);
  // The run's log, in the temporary working folder, tells the same story.
  const std::string log = quilltest::ReadFileBytes(LogFile());
  for (const char* line :
       {"no installed suite: the window opens", "/files/full.exe Range bytes=0-: status 206",
        "Quillnest_SetUp_mini.exe: matches", "screen: setup launched"}) {
    EXPECT_NE(std::string::npos, log.find(line)) << line << " in\n" << log;
  }
}

// A failed run says why on its screen (the status line's name, as a screen
// reader reads it), and closing that screen ends with the failure's code.
TEST_F(ProgramRunTest, FailureScreenNamesTheCauseAndClosingItEndsWithItsCode) {
  WriteConfig("Language=zh\r\n");
  server_.Offer(QUILL_SETUP_VERSION,
                quilltest::ReadFileBytes(quilltest::StandInPath(L"recorder-unsigned.exe")),
                "/files/full.exe");
  first_ = Start();
  ASSERT_NE(nullptr, first_);
  HWND window = WaitForWindow(kDeadlineMs);
  ASSERT_NE(nullptr, window);
  PressButton(window, kInstallDriverButtonId);
  ASSERT_TRUE(quilltest::WaitUntil([window] { return ButtonVisible(window, kRetryButtonId); },
                                   kDeadlineMs));
  wchar_t name[256] = L"";
  GetWindowTextW(GetDlgItem(window, kStatusLineId), name, 256);
  using rerozadez::UiLanguage;
  EXPECT_EQ(Text(IDS_ERROR_DOWNLOAD_FAILED, UiLanguage::kChinese).substr(6) + L" " +
                Text(IDS_FAILURE_NOT_PUBLISHER, UiLanguage::kChinese).substr(6),
            name);
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(2205, ExitCode(first_, kDeadlineMs));
}

TEST_F(ProgramRunTest, LogIsWrittenUnlessTheConfigurationTurnsItOff) {
  // An overseas build with nothing to hint at ends right after its window.
  WriteConfig("OverSea=1\r\n");
  first_ = Start();
  ASSERT_NE(nullptr, first_);
  EXPECT_EQ(0, ExitCode(first_, kDeadlineMs));
  EXPECT_NE(std::string::npos, quilltest::ReadFileBytes(LogFile()).find("OverSea 1"));
  CloseHandle(first_);
  WriteConfig("OverSea=1\r\nDiagnosticLog=0\r\n");
  ASSERT_TRUE(DeleteFileW(LogFile().c_str()));
  first_ = Start();
  ASSERT_NE(nullptr, first_);
  EXPECT_EQ(0, ExitCode(first_, kDeadlineMs));
  EXPECT_FALSE(quilltest::FileExists(LogFile()));
}

TEST_F(ProgramRunTest, DllsPlantedBesideTheProgramAreNeverLoaded) {
  // A downloads folder may hold a DLL of any name; Wine is told to prefer
  // such a copy to its own, as Windows would if the program searched there.
  // Not version.dll: Wine's own user32 imports it, so Wine loads it while
  // the process starts, before any of the program's code runs (Windows'
  // user32 does not).
  const std::wstring overrides = std::wstring(kAppDefaults) + L"\\DllOverrides";
  const wchar_t* const planted[] = {L"wininet", L"cabinet",  L"gdiplus", L"comctl32",
                                    L"uxtheme", L"wintrust", L"crypt32"};
  for (const wchar_t* name : planted) {
    ASSERT_TRUE(
        quilltest::CopyStandIn(L"planted.dll", scratch_.File(std::wstring(name) + L".dll")));
    ASSERT_TRUE(SetRegistryText(HKEY_CURRENT_USER, overrides, name, L"native,builtin", 0));
  }
  const std::string bytes = OfferSetup();
  first_ = Start();
  ASSERT_NE(nullptr, first_);
  HWND window = WaitForWindow(kDeadlineMs);
  EXPECT_NE(nullptr, window);
  if (window != nullptr) {
    // The progress bar still has the manifest's common controls 6.
    std::vector<DWORD> ids = quilltest::ProcessesNamed(L"QuillnestMini.exe");
    std::wstring comctl32 = ids.size() == 1 ? ModulePath(ids[0], L"comctl32.dll") : L"";
    EXPECT_NE(std::wstring::npos, comctl32.find(L"\\winsxs\\"))
        << rerozadez::GetSysUtil()->WideToAnsi(comctl32.c_str());
    PressButton(window, kInstallDriverButtonId);
    EXPECT_EQ(0, ExitCode(first_, kDeadlineMs));
    // The query and the download went through the system's WinINet.
    EXPECT_EQ(bytes, quilltest::ReadFileBytes(SetupFile()));
  }
  for (const wchar_t* name : planted) {
    EXPECT_FALSE(quilltest::FileExists(scratch_.File(std::wstring(name) + L".dll.loaded")))
        << "planted " << rerozadez::GetSysUtil()->WideToAnsi(name) << ".dll was loaded";
  }
}

TEST_F(ProgramRunTest, CloseDuringADownloadEndsTheProgramAndKeepsWhatArrived) {
  OfferSetup(2500000, true);
  first_ = Start();
  ASSERT_NE(nullptr, first_);
  HWND window = WaitForWindow(kDeadlineMs);
  ASSERT_NE(nullptr, window);
  PressButton(window, kInstallDriverButtonId);
  // The download has begun once the bar shows a part of the setup; the
  // server then holds back the rest.
  HWND bar = GetDlgItem(window, kProgressBarId);
  ASSERT_TRUE(quilltest::WaitUntil(
      [bar] { return IsWindowVisible(bar) && SendMessageW(bar, PBM_GETPOS, 0, 0) > 0; },
      kDeadlineMs));
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(1602, ExitCode(first_, kDeadlineMs));  // closed during a run
  // The closing sequence ended the bridge tool whatever the run was doing.
  EXPECT_TRUE(quilltest::ProcessesNamed(L"adb.exe").empty());
  // What arrived stays for the next run to resume; the setup never started.
  EXPECT_GT(rerozadez::GetSysUtil()->GetFileLength(SetupFile()), 0u);
  EXPECT_FALSE(quilltest::FileExists(SetupFile() + L".log"));
}

}  // namespace
