#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "tests/cab/cab_test_support.h"
#include "tests/support/fake_bridge_server.h"
#include "tests/support/program_driver.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/test_files.h"
#include "tools/bridge/bridge_client.h"

namespace bridge {
namespace {

using quilltest::FakeBridgeServer;
using quilltest::FileExists;
using quilltest::kDeadlineMs;
using quilltest::ReadFileBytes;
using quilltest::ScratchDir;
using quilltest::WriteFileBytes;

const char kRemote[] = "/sdcard/Tools/Quillnest_setup.exe";

std::string SomeBytes(size_t count) {
  std::string bytes(count, '\0');
  uint32_t state = 2463534242u;
  for (char& c : bytes) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    c = static_cast<char>(state);
  }
  return bytes;
}

// A port nothing listens on: bound for a moment, then given back.
unsigned short ClosedPort() {
  FakeBridgeServer probe;
  EXPECT_TRUE(probe.Start());
  return probe.Port();
}

// --- The framing, directly --------------------------------------------------

TEST(BridgeFraming, HostRequestsCarryTheirLengthInFourHexDigits) {
  EXPECT_EQ(FormatHostRequest("host:transport-any"), "0012host:transport-any");
  EXPECT_EQ(FormatHostRequest("sync:"), "0005sync:");
  EXPECT_EQ(FormatHostRequest(std::string(300, 'x')), "012c" + std::string(300, 'x'));
  EXPECT_EQ(FormatHostRequest(std::string(0x10000, 'x')), "");
  EXPECT_EQ(ParseHexLength("001a"), 26);
  EXPECT_EQ(ParseHexLength("FFFF"), 65535);
  EXPECT_EQ(ParseHexLength("00g0"), -1);
  EXPECT_EQ(ParseHexLength("0 1a"), -1);
}

TEST(BridgeFraming, SyncPacketsCarryALittleEndianLength) {
  EXPECT_EQ(FormatSyncPacket("RECV", "/sdcard/x"), std::string("RECV\x09\0\0\0/sdcard/x", 17));
  EXPECT_EQ(FormatSyncPacket("QUIT", ""), std::string("QUIT\0\0\0\0", 8));
  const unsigned char bytes[] = {0x01, 0x02, 0x03, 0x84};
  EXPECT_EQ(ReadLittleEndian32(bytes), 0x84030201u);
}

TEST(BridgeCommandLine, OnlyPullWithOneRemoteAndOneLocalPathIsAccepted) {
  PullCommand command;
  std::vector<std::wstring> good = {L"pull", L"/sdcard/Tools/a.exe", L"C:\\x y\\b.exe"};
  std::vector<wchar_t*> arguments;
  for (std::wstring& argument : good) {
    arguments.push_back(&argument[0]);
  }
  ASSERT_TRUE(ParsePullCommand(3, arguments.data(), &command));
  EXPECT_EQ(command.remote, L"/sdcard/Tools/a.exe");
  EXPECT_EQ(command.local, L"C:\\x y\\b.exe");

  // A remote path with a space arrives split, as the installer passes it
  // unquoted: refused, like any other command.
  std::vector<std::vector<std::wstring>> bad = {
      {L"pull", L"/sdcard/My", L"Tools/a.exe", L"C:\\b.exe"},
      {L"push", L"/sdcard/a.exe", L"C:\\b.exe"},
      {L"pull", L"/sdcard/a.exe"},
      {L"pull", L"", L"C:\\b.exe"},
      {L"pull", L"/sdcard/a.exe", L""},
      {}};
  for (std::vector<std::wstring>& words : bad) {
    std::vector<wchar_t*> pointers;
    for (std::wstring& word : words) {
      pointers.push_back(&word[0]);
    }
    pointers.push_back(nullptr);
    EXPECT_FALSE(ParsePullCommand(static_cast<int>(words.size()), pointers.data(), &command))
        << words.size();
  }
}

TEST(BridgeCommandLine, ServerPortComesFromTheEnvironmentWhenItIsAPort) {
  {
    quilltest::ScopedBridgePort port(6123);
    EXPECT_EQ(ServerPort(), 6123);
  }
  quilltest::ScopedEnvironment environment;
  for (const wchar_t* text : {L"abc", L"70000", L"0", L"-1", L" 80", L"12x"}) {
    environment.Set(L"ANDROID_ADB_SERVER_PORT", text);
    EXPECT_EQ(ServerPort(), 5037) << text;
  }
  environment.Unset(L"ANDROID_ADB_SERVER_PORT");
  EXPECT_EQ(ServerPort(), 5037);
}

// --- Pulls against the fake server ------------------------------------------

class PullFromFakeServer : public ::testing::Test {
 protected:
  PullResult PullInto(const std::wstring& local, DWORD timeoutMs = 10000) {
    return Pull(kRemote, local, server_.Port(), timeoutMs);
  }

  void ExpectNothingAt(const std::wstring& local) {
    EXPECT_FALSE(FileExists(local));
    EXPECT_FALSE(FileExists(local + L".part"));
  }

  FakeBridgeServer server_;
  ScratchDir dir_;
};

TEST_F(PullFromFakeServer, FileInSeveralChunksArrivesWhole) {
  const std::string content = SomeBytes(200000);
  server_.AddFile(kRemote, content);
  server_.SetChunkSize(4096);
  ASSERT_TRUE(server_.Start());
  std::wstring local = dir_.File(L"\u5b89\u88c5 backup.exe");
  EXPECT_EQ(PullInto(local), kPulled);
  EXPECT_EQ(ReadFileBytes(local), content);
  EXPECT_FALSE(FileExists(local + L".part"));
  EXPECT_EQ(server_.Requests(4),
            (std::vector<std::string>{"host:transport-any", "sync:", std::string("RECV ") + kRemote,
                                      "QUIT "}));
}

TEST_F(PullFromFakeServer, EmptyRemoteFileGivesAnEmptyLocalFile) {
  server_.AddFile(kRemote, "");
  ASSERT_TRUE(server_.Start());
  std::wstring local = dir_.File(L"empty.exe");
  EXPECT_EQ(PullInto(local), kPulled);
  EXPECT_TRUE(FileExists(local));
  EXPECT_EQ(ReadFileBytes(local), "");
}

TEST_F(PullFromFakeServer, SuccessReplacesAnEarlierLocalFile) {
  server_.AddFile(kRemote, "new setup");
  ASSERT_TRUE(server_.Start());
  std::wstring local = dir_.File(L"backup.exe");
  ASSERT_TRUE(WriteFileBytes(local, std::string(100000, 'o')));
  EXPECT_EQ(PullInto(local), kPulled);
  EXPECT_EQ(ReadFileBytes(local), "new setup");
}

TEST_F(PullFromFakeServer, MissingRemoteFileIsRefusedAndWritesNothing) {
  server_.AddFile("/sdcard/Other/file.exe", "other");
  ASSERT_TRUE(server_.Start());
  std::wstring local = dir_.File(L"backup.exe");
  EXPECT_EQ(PullInto(local), kRefused);
  ExpectNothingAt(local);
}

TEST_F(PullFromFakeServer, NoDeviceIsRefusedBeforeAnyFileRequest) {
  server_.AddFile(kRemote, "setup");
  server_.SetBehaviour(FakeBridgeServer::Behaviour::kNoDevice);
  ASSERT_TRUE(server_.Start());
  std::wstring local = dir_.File(L"backup.exe");
  EXPECT_EQ(PullInto(local), kRefused);
  ExpectNothingAt(local);
  EXPECT_EQ(server_.Requests(), std::vector<std::string>{"host:transport-any"});
}

TEST_F(PullFromFakeServer, ConnectionClosedMidFileLeavesNoFileAndKeepsAnEarlierOne) {
  server_.AddFile(kRemote, SomeBytes(50000));
  server_.SetChunkSize(8192);
  server_.SetBehaviour(FakeBridgeServer::Behaviour::kCloseMidFile);
  ASSERT_TRUE(server_.Start());
  std::wstring fresh = dir_.File(L"fresh.exe");
  EXPECT_EQ(PullInto(fresh), kBrokenTransfer);
  ExpectNothingAt(fresh);
  std::wstring earlier = dir_.File(L"earlier.exe");
  ASSERT_TRUE(WriteFileBytes(earlier, "earlier"));
  EXPECT_EQ(PullInto(earlier), kBrokenTransfer);
  EXPECT_EQ(ReadFileBytes(earlier), "earlier");
  EXPECT_FALSE(FileExists(earlier + L".part"));
}

TEST_F(PullFromFakeServer, OversizedChunkIsABrokenStream) {
  server_.AddFile(kRemote, SomeBytes(1000));
  server_.SetBehaviour(FakeBridgeServer::Behaviour::kOversizedChunk);
  ASSERT_TRUE(server_.Start());
  std::wstring local = dir_.File(L"backup.exe");
  EXPECT_EQ(PullInto(local), kBrokenTransfer);
  ExpectNothingAt(local);
}

TEST_F(PullFromFakeServer, StalledTransferShowsNoFileWhileRunningAndGivesUpAfterTheTimeout) {
  server_.AddFile(kRemote, SomeBytes(30000));
  server_.SetChunkSize(10000);
  server_.SetBehaviour(FakeBridgeServer::Behaviour::kStallMidFile);
  ASSERT_TRUE(server_.Start());
  std::wstring local = dir_.File(L"backup.exe");
  PullResult result = kPulled;
  std::thread pull([&] { result = PullInto(local, 2000); });
  ASSERT_TRUE(server_.WaitUntilStalled(kDeadlineMs));
  EXPECT_FALSE(FileExists(local));  // a third has come, under another name
  pull.join();
  EXPECT_EQ(result, kBrokenTransfer);
  ExpectNothingAt(local);
}

TEST_F(PullFromFakeServer, NoServerAndUnwritableLocalPathFail) {
  server_.AddFile(kRemote, "setup");
  ASSERT_TRUE(server_.Start());
  EXPECT_EQ(Pull(kRemote, dir_.File(L"a.exe"), ClosedPort(), 2000), kNoServer);
  EXPECT_FALSE(FileExists(dir_.File(L"a.exe")));
  EXPECT_EQ(PullInto(dir_.File(L"missing folder\\a.exe")), kLocalFileError);
  EXPECT_EQ(Pull("", dir_.File(L"a.exe"), server_.Port(), 2000), kBadCommandLine);
  EXPECT_EQ(Pull(std::string(2000, 'x'), dir_.File(L"a.exe"), server_.Port(), 2000),
            kBadCommandLine);
}

// --- The stand-in tool as a program -----------------------------------------

// Runs the built stand-in with a command line and returns its exit code.
DWORD RunStandIn(const std::wstring& exe, const std::wstring& parameters) {
  std::wstring commandLine = L"\"" + exe + L"\"" + parameters;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    ADD_FAILURE() << "cannot start " << std::string(exe.begin(), exe.end());
    return 0xFFFF;
  }
  EXPECT_EQ(WaitForSingleObject(process.hProcess, kDeadlineMs), WAIT_OBJECT_0);
  DWORD exitCode = 0xFFFF;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return exitCode;
}

TEST(StandInTool, PullsAsTheInstallerRunsIt) {
  FakeBridgeServer server;
  const std::string content = SomeBytes(150000);
  server.AddFile(kRemote, content);
  server.SetChunkSize(65536);
  ASSERT_TRUE(server.Start());
  quilltest::ScopedBridgePort port(server.Port());
  ScratchDir dir;
  std::wstring local = dir.File(L"Quillnest_SetUp_mini_backup.exe");
  // The installer's parameters: leading space, remote unquoted, local quoted.
  EXPECT_EQ(RunStandIn(quilltest::BridgeStandIn(L"adb.exe"),
                       L" pull /sdcard/Tools/Quillnest_setup.exe \"" + local + L"\""),
            0u);
  EXPECT_EQ(ReadFileBytes(local), content);
}

TEST(StandInTool, FailuresExitNonZeroWithoutALocalFile) {
  FakeBridgeServer server;
  server.AddFile(kRemote, "setup");
  ASSERT_TRUE(server.Start());
  ScratchDir dir;
  std::wstring local = dir.File(L"backup.exe");
  const std::wstring exe = quilltest::BridgeStandIn(L"adb.exe");
  {
    quilltest::ScopedBridgePort port(ClosedPort());
    EXPECT_EQ(RunStandIn(exe, L" pull " + std::wstring(kRemote, kRemote + sizeof(kRemote) - 1) +
                                  L" \"" + local + L"\""),
              static_cast<DWORD>(kNoServer));
  }
  quilltest::ScopedBridgePort port(server.Port());
  EXPECT_EQ(RunStandIn(exe, L" pull /sdcard/Other/missing.exe \"" + local + L"\""),
            static_cast<DWORD>(kRefused));
  // An unquoted remote path with a space reaches the tool as two arguments.
  EXPECT_EQ(RunStandIn(exe, L" pull /sdcard/My Tools/setup.exe \"" + local + L"\""),
            static_cast<DWORD>(kBadCommandLine));
  EXPECT_EQ(RunStandIn(exe, L""), static_cast<DWORD>(kBadCommandLine));
  EXPECT_FALSE(FileExists(local));
  EXPECT_EQ(server.Connections(), 1);
}

TEST(StandInTool, IsAWindowsProgramThatOpensNoConsole) {
  std::string image = ReadFileBytes(quilltest::BridgeStandIn(L"adb.exe"));
  ASSERT_GT(image.size(), sizeof(IMAGE_DOS_HEADER));
  const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
  ASSERT_EQ(dos->e_magic, IMAGE_DOS_SIGNATURE);
  const IMAGE_NT_HEADERS* nt =
      reinterpret_cast<const IMAGE_NT_HEADERS*>(image.data() + dos->e_lfanew);
  ASSERT_EQ(nt->Signature, static_cast<DWORD>(IMAGE_NT_SIGNATURE));
  EXPECT_EQ(nt->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
}

}  // namespace
}  // namespace bridge
