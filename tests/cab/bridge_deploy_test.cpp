#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "cab/bridge_deploy.h"
#include "platform/diagnostic_log.h"
#include "settings/setup_settings.h"
#include "settings/sys_util.h"
#include "tests/cab/cab_test_support.h"
#include "tests/support/fake_bridge_server.h"
#include "tests/support/program_driver.h"
#include "tests/support/test_files.h"

namespace rerozadez {
namespace {

using quilltest::FakeBridgeServer;
using quilltest::FileExists;
using quilltest::ReadFileBytes;
using quilltest::WriteFileBytes;

const wchar_t* const kBridgeFiles[] = {L"adb.exe", L"AdbWinApi.dll", L"AdbWinUsbApi.dll"};

// This test executable carries the cabinet resource itself (BIN #176).
HINSTANCE ModuleWithCabinet() {
  return GetModuleHandleW(nullptr);
}

HINSTANCE ModuleWithoutCabinet() {
  return GetModuleHandleW(L"kernel32.dll");
}

std::string FormatLocalWriteTime(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
    return "missing";
  }
  FILETIME local;
  SYSTEMTIME time;
  FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
  FileTimeToSystemTime(&local, &time);
  char text[32];
  snprintf(text, sizeof(text), "%04u-%02u-%02u %02u:%02u:%02u", time.wYear, time.wMonth, time.wDay,
           time.wHour, time.wMinute, time.wSecond);
  return text;
}

class DeployBridgeToolsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = GetSysUtil()->GetTempWorkFolder();
    quilltest::RemoveTree(folder_);
    folder_ = GetSysUtil()->GetTempWorkFolder();  // made again, empty
    GetSetupSettings()->bridgeToolPath.clear();
  }
  void TearDown() override {
    ReleaseBridgeTools();
    quilltest::RemoveTree(folder_);
  }

  std::wstring InFolder(const std::wstring& name) const { return folder_ + L"\\" + name; }

  void ExpectDeployedTools() {
    EXPECT_EQ(ReadFileBytes(InFolder(L"res.cab")), ReadFileBytes(quilltest::BridgeCabinetPath()));
    for (const wchar_t* name : kBridgeFiles) {
      std::wstring path = InFolder(name);
      EXPECT_EQ(ReadFileBytes(path), ReadFileBytes(quilltest::PackedBridgeFile(name))) << path;
      EXPECT_EQ(GetFileAttributesW(path.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
      EXPECT_EQ(FormatLocalWriteTime(path), "2015-04-29 10:46:52");
    }
  }

  std::wstring folder_;
};

TEST_F(DeployBridgeToolsTest, FirstStartWritesTheCabinetAndTheThreeTools) {
  EXPECT_EQ(DescribeStatus(DeployBridgeTools(ModuleWithCabinet())), "success");
  EXPECT_EQ(GetSetupSettings()->bridgeToolPath, InFolder(L"adb.exe"));
  ExpectDeployedTools();
  // Held until the program ends: no writer, renamer or deleter gets in.
  for (const wchar_t* name : kBridgeFiles) {
    std::wstring path = InFolder(name);
    HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE) << path;
    if (writer != INVALID_HANDLE_VALUE) {
      CloseHandle(writer);
    }
    EXPECT_FALSE(MoveFileW(path.c_str(), (path + L".old").c_str())) << path;
    EXPECT_FALSE(DeleteFileW(path.c_str())) << path;
  }
}

// A copy of a small module carrying cabinet as its "BIN" #176, loaded as
// data, as the deployment reads its own module.
HINSTANCE ModuleCarrying(const std::string& cabinet, const std::wstring& path) {
  if (!CopyFileW(quilltest::BridgeStandIn(L"AdbWinUsbApi.dll").c_str(), path.c_str(), FALSE)) {
    return nullptr;
  }
  HANDLE update = BeginUpdateResourceW(path.c_str(), FALSE);
  if (update == nullptr ||
      !UpdateResourceW(update, L"BIN", MAKEINTRESOURCEW(176), 0, const_cast<char*>(cabinet.data()),
                       static_cast<DWORD>(cabinet.size())) ||
      !EndUpdateResourceW(update, FALSE)) {
    return nullptr;
  }
  return LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
}

TEST_F(DeployBridgeToolsTest, CabinetUnlikeTheOnePackedIsNotUnpacked) {
  // Both crash Wine's cabinet library when handed to it.
  std::string noFolders = ReadFileBytes(quilltest::BridgeCabinetPath());
  ASSERT_GT(noFolders.size(), 1000u);
  std::string flippedBit = noFolders;
  noFolders[0x1A] = noFolders[0x1B] = 0;
  size_t block =
      static_cast<unsigned char>(flippedBit[36]) | static_cast<unsigned char>(flippedBit[37]) << 8;
  flippedBit.replace(block, 4, std::string(4, '\0'));  // no checksum
  flippedBit[block + 8 + 100] ^= 0x10;

  quilltest::ScratchDir modules;
  const std::string cabinets[] = {noFolders, flippedBit};
  for (int i = 0; i < 2; ++i) {
    const std::string& cabinet = cabinets[i];
    HINSTANCE module = ModuleCarrying(cabinet, modules.File(L"m" + std::to_wstring(i) + L".dll"));
    ASSERT_NE(module, nullptr);
    const Status status = DeployBridgeTools(module);
    EXPECT_EQ(status.step, StatusStep::kBridgeFileDigest);
    EXPECT_EQ(status.detail.find(LogText(InFolder(L"res.cab")) + ": MD5 "), 0u) << status.detail;
    FreeLibrary(module);
    EXPECT_EQ(ReadFileBytes(InFolder(L"res.cab")), cabinet);
    for (const wchar_t* name : kBridgeFiles) {
      EXPECT_FALSE(FileExists(InFolder(name))) << name;
    }
    EXPECT_EQ(GetSetupSettings()->bridgeToolPath, L"");
  }
}

TEST_F(DeployBridgeToolsTest, DeployedStandInRunsWithItsLibraries) {
  if (!quilltest::CabinetCarriesStandIns()) {
    GTEST_SKIP() << "the cabinet carries the real tools";
  }
  ASSERT_EQ(DescribeStatus(DeployBridgeTools(ModuleWithCabinet())), "success");
  FakeBridgeServer server;
  server.AddFile("/sdcard/Tools/Quillnest_setup.exe", "the full setup");
  ASSERT_TRUE(server.Start());
  quilltest::ScopedBridgePort port(server.Port());
  std::wstring local = InFolder(L"pulled.exe");
  HANDLE tool =
      quilltest::StartProgram(GetSetupSettings()->bridgeToolPath, L"",
                              L" pull /sdcard/Tools/Quillnest_setup.exe \"" + local + L"\"");
  ASSERT_NE(tool, nullptr);
  ASSERT_EQ(WaitForSingleObject(tool, quilltest::kDeadlineMs), WAIT_OBJECT_0);
  DWORD exitCode = 0xFFFF;
  GetExitCodeProcess(tool, &exitCode);
  CloseHandle(tool);
  EXPECT_EQ(exitCode, 0u);
  EXPECT_EQ(ReadFileBytes(local), "the full setup");
}

TEST_F(DeployBridgeToolsTest, RunningToolFromAnEarlierStartIsEndedFirst) {
  if (!quilltest::CabinetCarriesStandIns()) {
    GTEST_SKIP() << "the cabinet carries the real tools";
  }
  ASSERT_EQ(DescribeStatus(DeployBridgeTools(ModuleWithCabinet())), "success");
  // Mark the earlier start's files with today's time; a fresh extraction
  // gives them the cabinet's time again.
  for (const wchar_t* name : kBridgeFiles) {
    HANDLE file = CreateFileW(InFolder(name).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ASSERT_TRUE(SetFileTime(file, &now, nullptr, &now));
    CloseHandle(file);
    ASSERT_NE(FormatLocalWriteTime(InFolder(name)), "2015-04-29 10:46:52");
  }
  // The earlier start's tool hangs in a pull that never completes.
  FakeBridgeServer server;
  server.AddFile("/sdcard/Tools/Quillnest_setup.exe", std::string(100000, 's'));
  server.SetChunkSize(1000);
  server.SetBehaviour(FakeBridgeServer::Behaviour::kStallMidFile);
  ASSERT_TRUE(server.Start());
  quilltest::ScopedBridgePort port(server.Port());
  HANDLE tool = quilltest::StartProgram(
      InFolder(L"adb.exe"), L"",
      L" pull /sdcard/Tools/Quillnest_setup.exe \"" + InFolder(L"p.exe") + L"\"");
  ASSERT_NE(tool, nullptr);
  ASSERT_TRUE(server.WaitUntilStalled(quilltest::kDeadlineMs));
  ASSERT_EQ(WaitForSingleObject(tool, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  // While it runs, its library cannot be overwritten.
  ASSERT_FALSE(WriteFileBytes(InFolder(L"AdbWinUsbApi.dll"), "stale"));

  EXPECT_EQ(DescribeStatus(DeployBridgeTools(ModuleWithCabinet())), "success");
  EXPECT_EQ(WaitForSingleObject(tool, 0), WAIT_OBJECT_0);
  CloseHandle(tool);
  ExpectDeployedTools();
  EXPECT_FALSE(FileExists(InFolder(L"p.exe")));
}

TEST_F(DeployBridgeToolsTest, MissingResourceWritesNothingAndFails) {
  EXPECT_EQ(DeployBridgeTools(ModuleWithoutCabinet()).step, StatusStep::kBridgeFindResource);
  EXPECT_EQ(GetSetupSettings()->bridgeToolPath, L"");
  for (const wchar_t* name : {L"res.cab", L"adb.exe", L"AdbWinApi.dll", L"AdbWinUsbApi.dll"}) {
    EXPECT_FALSE(FileExists(InFolder(name))) << name;
  }
}

TEST_F(DeployBridgeToolsTest, MissingResourceKeepsAnEarlierStartsToolsWhenTheyAreThePackedOnes) {
  ASSERT_EQ(DescribeStatus(DeployBridgeTools(ModuleWithCabinet())), "success");
  EXPECT_EQ(DescribeStatus(DeployBridgeTools(ModuleWithoutCabinet())), "success");
  EXPECT_EQ(GetSetupSettings()->bridgeToolPath, InFolder(L"adb.exe"));
  ExpectDeployedTools();
  // A library replaced while the program was not running: not the packed
  // one, so no tool is offered.
  ReleaseBridgeTools();
  ASSERT_TRUE(DeleteFileW(InFolder(L"res.cab").c_str()));
  std::string library = ReadFileBytes(InFolder(L"AdbWinUsbApi.dll"));
  library[library.size() / 2] ^= 0x01;
  ASSERT_TRUE(WriteFileBytes(InFolder(L"AdbWinUsbApi.dll"), library));
  EXPECT_FALSE(DeployBridgeTools(ModuleWithoutCabinet()).ok());
  EXPECT_EQ(GetSetupSettings()->bridgeToolPath, L"");
  // One library gone.
  ASSERT_TRUE(DeleteFileW(InFolder(L"AdbWinUsbApi.dll").c_str()));
  EXPECT_FALSE(DeployBridgeTools(ModuleWithoutCabinet()).ok());
}

TEST_F(DeployBridgeToolsTest, ToolHeldOpenForWritingByAnotherHandleIsNotOffered) {
  // Another program's writable handle lets the extraction through but not
  // the hold that keeps the file as it was checked.
  ASSERT_TRUE(WriteFileBytes(InFolder(L"AdbWinApi.dll"), "older"));
  HANDLE other = CreateFileW(InFolder(L"AdbWinApi.dll").c_str(), GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  const Status status = DeployBridgeTools(ModuleWithCabinet());
  CloseHandle(other);
  EXPECT_EQ(status.step, StatusStep::kBridgeOpenFile);
  EXPECT_EQ(status.code, static_cast<unsigned long>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(status.detail, LogText(InFolder(L"AdbWinApi.dll")));
  EXPECT_EQ(GetSetupSettings()->bridgeToolPath, L"");
  // adb.exe, checked before it, is not kept held either.
  EXPECT_TRUE(WriteFileBytes(InFolder(L"adb.exe"), "replaceable"));
}

}  // namespace
}  // namespace rerozadez
