// Whole runs of the workflow on a real worker thread, in a small world: the
// loopback test server as package service and download server, stand-in
// programs as driver installer, full setup and installed suite, the bridge
// tool stand-in with a fake bridge server as the phone, scratch folders as
// APPDATA and TEMP, and the real registry.
#include <gtest/gtest.h>
#include <process.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "platform/diagnostic_log.h"
#include "platform/file_digest.h"
#include "platform/pause.h"
#include "platform/process_util.h"
#include "platform/text_encoding.h"
#include "settings/setup_settings.h"
#include "settings/suite_identity.h"
#include "tests/support/fake_bridge_server.h"
#include "tests/support/notification_recorder.h"
#include "tests/support/package_service.h"
#include "tests/support/program_driver.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/stand_ins.h"
#include "tests/support/test_files.h"
#include "tests/support/test_registry.h"
#include "tests/support/tls_test_server.h"
#include "workflow/run_failure.h"
#include "workflow/worker.h"

namespace rerozadez {
namespace {

using quilltest::HttpRoute;
using quilltest::kDeadlineMs;
using quilltest::Md5Hex;
using quilltest::ReadFileBytes;
using quilltest::ScratchDir;
using quilltest::WriteFileBytes;

const char* const kQueryPath = quilltest::PackageService::kQueryPath;
const char* const kSetupPath = quilltest::PackageService::kFilePath;

class WorkflowWorld : public ::testing::Test {
 protected:
  void SetUp() override {
    setupBytes_ = ReadFileBytes(quilltest::StandInPath(L"recorder.exe"));
    ASSERT_FALSE(setupBytes_.empty());

    environment_.RedirectWorkFolders(appData_.Path(), temp_.Path());
    log_ = other_.File(L"starts.log");
    environment_.Set(L"QUILL_STAND_IN_LOG", log_);

    SetupSettings* settings = GetSetupSettings();
    *settings = SetupSettings();
    settings->bridgeToolPath = QUILL_BRIDGE_TOOL;
    setupPath_ = settings->GetSetupFilePath();

    // The test build's program asks the service address of the environment,
    // so each run serves on a port of its own.
    ASSERT_TRUE(server_.Start());
    environment_.Set(L"QUILL_TEST_SERVICE_URL", server_.BaseUrl());
    server_.Offer(QUILL_SETUP_VERSION, setupBytes_);
    phone_.reset(new quilltest::FakeBridgeServer());
    phone_->SetBehaviour(quilltest::FakeBridgeServer::Behaviour::kNoDevice);

    CReroZadezHelper* worker = GetReroZadezHelper();
    worker->retryMode = 0;
    worker->stopRequested = 1;
    SetPauseHook(&WorkflowWorld::OnPause, this);
  }

  void TearDown() override {
    SetPauseHook(nullptr, nullptr);
    server_.Stop();
    port_.reset();
    phone_.reset();
    for (const wchar_t* name : {L"Quillnest_SetUp_mini.exe", L"driver.exe", L"Quillnest.exe"}) {
      quilltest::EndProcessesNamed(name);
    }
  }

  void ServeSetup(const std::string& bytes, long long closeAfterBytes = -1) {
    HttpRoute route;
    route.body = bytes;
    route.closeAfterBytes = closeAfterBytes;
    server_.SetRoute(kSetupPath, route);
  }
  void ConnectPhone(const std::string& fileContent) {
    phone_->SetBehaviour(quilltest::FakeBridgeServer::Behaviour::kServeFiles);
    phone_->AddFile("/sdcard/Tools/Quillnest_setup.exe", fileContent);
  }
  // A recorder stand-in at folder\name, started programs log to log_.
  std::wstring PlaceRecorder(const std::wstring& folder, const std::wstring& name) {
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring path = folder + L"\\" + name;
    EXPECT_TRUE(quilltest::CopyStandIn(L"recorder.exe", path));
    return path;
  }

  // Runs one whole run on a worker thread, as the window does, and waits.
  void RunWorker(int retryMode = 0) {
    if (phone_->Port() == 0) {
      ASSERT_TRUE(phone_->Start());
    }
    // One setter per phone: replacing it would let the old one's end take
    // away the port the new one set.
    if (!port_) {
      port_.reset(new quilltest::ScopedBridgePort(phone_->Port()));
    }
    CReroZadezHelper* worker = GetReroZadezHelper();
    worker->retryMode = retryMode;
    worker->stopRequested = 0;  // as the window does before it starts a run
    uintptr_t thread = _beginthreadex(nullptr, 0, &WorkerThreadProc, worker, 0, nullptr);
    ASSERT_NE(thread, 0u);
    ASSERT_EQ(WaitForSingleObject(reinterpret_cast<HANDLE>(thread), 90000),
              static_cast<DWORD>(WAIT_OBJECT_0));
    CloseHandle(reinterpret_cast<HANDLE>(thread));
    EXPECT_EQ(worker->running, 0);
  }

  std::vector<int> Sequence() const { return notifications_.Sequence(); }
  int LastProgress() const { return notifications_.LastProgress(); }
  int FileRequests() const { return server_.RequestsFor(kSetupPath); }
  int Queries() const { return server_.RequestsFor(kQueryPath); }
  std::vector<quilltest::RecordedStart> Starts() { return quilltest::ReadRecordedStarts(log_); }
  std::vector<quilltest::RecordedStart> StartsOnceLogged(size_t count) {
    return quilltest::WaitForRecordedStarts(log_, count, kDeadlineMs);
  }
  // Large files are compared without printing them.
  bool SetupFileHolds(const std::string& bytes) { return ReadFileBytes(setupPath_) == bytes; }

  // While the setup is being started, tries to write, rename and delete the
  // file; each attempt must be refused. Call before the run, check after it.
  void TryToReplaceTheSetupWhileItStarts() {
    notifications_.onNotify = [this](int type, int) {
      if (type != NotifyLaunchingSetup) {
        return;
      }
      HANDLE writer = CreateFileW(setupPath_.c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (writer != INVALID_HANDLE_VALUE) {
        CloseHandle(writer);
        ++replacements_;
      }
      replacements_ += MoveFileW(setupPath_.c_str(), other_.File(L"moved.exe").c_str()) ? 1 : 0;
      replacements_ += DeleteFileW(setupPath_.c_str()) ? 1 : 0;
    };
  }

  static void OnPause(DWORD milliseconds, void* context) {
    WorkflowWorld* world = static_cast<WorkflowWorld*>(context);
    if (world->onPause_) {
      world->onPause_(milliseconds);
    }
  }

  ScratchDir appData_, temp_, other_;
  quilltest::ScopedEnvironment environment_;
  quilltest::ScopedProgramKeys registry_;
  std::wstring log_, setupPath_;
  std::string setupBytes_;
  quilltest::PackageService server_;
  std::unique_ptr<quilltest::FakeBridgeServer> phone_;
  std::unique_ptr<quilltest::ScopedBridgePort> port_;
  quilltest::NotificationRecorder notifications_;
  std::function<void(DWORD)> onPause_;
  int replacements_ = 0;
};

const std::vector<int> kLaunchedAfterDownload = {0, 1, 3, 4, 8, 9, 10};

TEST_F(WorkflowWorld, FreshRunDownloadsRecordsAndLaunchesTheSetup) {
  TryToReplaceTheSetupWhileItStarts();
  RunWorker();
  EXPECT_EQ(Sequence(), kLaunchedAfterDownload);
  EXPECT_EQ(replacements_, 0);
  EXPECT_TRUE(SetupFileHolds(setupBytes_));
  EXPECT_EQ(quilltest::ReadResumeRecord(L"downLoadSize"), std::to_string(setupBytes_.size()));
  EXPECT_EQ(quilltest::ReadResumeRecord(L"FPMD5"), Md5Hex(setupBytes_));
  std::vector<quilltest::RecordedStart> starts = StartsOnceLogged(1);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].program, L"Quillnest_SetUp_mini.exe");
  EXPECT_EQ(starts[0].arguments, L"");
  EXPECT_EQ(starts[0].folder, temp_.Path() + L"\\Travik\\rerozadez");
  EXPECT_EQ(starts[0].show, SW_SHOWNORMAL);
  EXPECT_EQ(Queries(), 2);  // the refresh, then the route's own
  EXPECT_EQ(LastProgress(), 100);
}

TEST_F(WorkflowWorld, DownloadAddressWithChineseCharactersIsFetched) {
  // The service's JSON is UTF-8; the address must reach the server as sent.
  server_.Offer(QUILL_SETUP_VERSION, setupBytes_, "/files/\xe5\xae\x89\xe8\xa3\x85.exe");
  RunWorker();
  EXPECT_EQ(Sequence(), kLaunchedAfterDownload);
  EXPECT_TRUE(SetupFileHolds(setupBytes_));
  EXPECT_EQ(server_.Requests().back().target, "/files/%E5%AE%89%E8%A3%85.exe");
}

// A setup left running from an earlier start holds the file that is about to
// be replaced; both routes end it first.
TEST_F(WorkflowWorld, RunningSetupIsEndedBeforeEitherRouteReplacesItsFile) {
  for (bool fromPhone : {false, true}) {
    SCOPED_TRACE(fromPhone ? "phone" : "download");
    // The old setup runs from the setup file and is one byte short of the
    // offer (the end of its signature: it still runs), so it is neither
    // verified nor deleted, only replaced.
    const std::string offered = setupBytes_;
    server_.Offer(QUILL_SETUP_VERSION, offered);
    port_.reset();
    phone_.reset(new quilltest::FakeBridgeServer());
    phone_->SetBehaviour(quilltest::FakeBridgeServer::Behaviour::kNoDevice);
    if (fromPhone) {
      ConnectPhone(offered);
    }
    ASSERT_TRUE(WriteFileBytes(setupPath_, offered.substr(0, offered.size() - 1)));
    ASSERT_TRUE(WriteFileBytes(setupPath_ + L".sleepms", "20000"));
    ASSERT_TRUE(GetProcessUtil()->RunProgram(L"", setupPath_, L"", false, false).ok());
    ASSERT_TRUE(quilltest::WaitForProcessesNamed(L"Quillnest_SetUp_mini.exe", 1, kDeadlineMs));
    bool oldSetupGone = false;
    notifications_.onNotify = [&](int type, int) {
      if (type == NotifyLaunchingSetup) {
        oldSetupGone = quilltest::ProcessesNamed(L"Quillnest_SetUp_mini.exe").empty();
      }
    };
    RunWorker();
    EXPECT_TRUE(oldSetupGone);
    EXPECT_TRUE(SetupFileHolds(offered));
    quilltest::EndProcessesNamed(L"Quillnest_SetUp_mini.exe");
    DeleteFileW((setupPath_ + L".sleepms").c_str());
  }
}

TEST_F(WorkflowWorld, DriverInstallerRunsHiddenAndIsWaitedFor) {
  SetupSettings* settings = GetSetupSettings();
  settings->driverPath = PlaceRecorder(other_.Path(), L"driver.exe");
  settings->driverParams = L"/S /channel=\u624b\u673a";
  ASSERT_TRUE(WriteFileBytes(settings->driverPath + L".sleepms", "2500"));
  bool driverGoneAtDownload = false;
  notifications_.onNotify = [&](int type, int) {
    if (type == NotifyDownloadStarted) {
      driverGoneAtDownload = quilltest::ProcessesNamed(L"driver.exe").empty();
    }
  };
  RunWorker();
  EXPECT_EQ(Sequence(), (std::vector<int>{0, 1, 2, 3, 4, 8, 9, 10}));
  EXPECT_TRUE(driverGoneAtDownload);
  std::vector<quilltest::RecordedStart> starts = StartsOnceLogged(2);
  ASSERT_EQ(starts.size(), 2u);
  EXPECT_EQ(starts[0].program, L"driver.exe");
  EXPECT_EQ(starts[0].arguments, L"/S /channel=\u624b\u673a");
  EXPECT_EQ(starts[0].show, SW_HIDE);
  EXPECT_EQ(starts[1].program, L"Quillnest_SetUp_mini.exe");
}

TEST_F(WorkflowWorld, RetryRunGoesStraightToTheDownload) {
  GetSetupSettings()->driverPath = PlaceRecorder(other_.Path(), L"driver.exe");
  ConnectPhone(setupBytes_);
  RunWorker(1);
  EXPECT_EQ(Sequence(), (std::vector<int>{5, 8, 9, 10}));
  EXPECT_EQ(Queries(), 1);  // no refresh
  EXPECT_EQ(phone_->Connections(), 0);
  std::vector<quilltest::RecordedStart> starts = StartsOnceLogged(1);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].program, L"Quillnest_SetUp_mini.exe");
}

TEST_F(WorkflowWorld, VerifiedEarlierCopyIsLaunchedWithoutFetching) {
  ASSERT_TRUE(WriteFileBytes(setupPath_, setupBytes_));
  TryToReplaceTheSetupWhileItStarts();
  RunWorker();
  EXPECT_EQ(Sequence(), (std::vector<int>{0, 1, 9, 10}));
  EXPECT_EQ(replacements_, 0);
  EXPECT_EQ(Queries(), 1);
  EXPECT_EQ(FileRequests(), 0);
  EXPECT_EQ(phone_->Connections(), 0);
}

TEST_F(WorkflowWorld, EarlierCopyWithWrongDigestIsReplaced) {
  std::string wrong = setupBytes_;
  wrong[100] ^= 0x5a;
  ASSERT_TRUE(WriteFileBytes(setupPath_, wrong));
  RunWorker();
  EXPECT_EQ(Sequence(), kLaunchedAfterDownload);
  EXPECT_TRUE(SetupFileHolds(setupBytes_));
}

TEST_F(WorkflowWorld, PartialFileIsResumedByTheNextRun) {
  // The server drops every reply after a quarter of the file: five passes
  // bring most of it, then the route gives up.
  long long quarter = static_cast<long long>(setupBytes_.size() / 4) - 1000;
  ServeSetup(setupBytes_, quarter / 2);
  RunWorker();
  EXPECT_EQ(Sequence(), (std::vector<int>{0, 1, 3, 4, 8, 6}));
  size_t partial = ReadFileBytes(setupPath_).size();
  ASSERT_GT(partial, 0u);
  ASSERT_LT(partial, setupBytes_.size());
  EXPECT_TRUE(SetupFileHolds(setupBytes_.substr(0, partial)));

  notifications_.Clear();
  ServeSetup(setupBytes_);
  size_t requestsBefore = server_.Requests().size();
  RunWorker(1);
  EXPECT_EQ(Sequence(), (std::vector<int>{5, 8, 9, 10}));
  EXPECT_TRUE(SetupFileHolds(setupBytes_));
  std::vector<quilltest::RecordedRequest> requests = server_.Requests();
  bool resumed = false;
  for (size_t i = requestsBefore; i < requests.size(); ++i) {
    if (requests[i].target == kSetupPath) {
      EXPECT_EQ(requests[i].Header("Range"), "bytes=" + std::to_string(partial) + "-");
      resumed = true;
    }
  }
  EXPECT_TRUE(resumed);
}

TEST_F(WorkflowWorld, SdCardCopyOfTheOfferIsLaunched) {
  ConnectPhone(setupBytes_);
  ASSERT_TRUE(WriteFileBytes(setupPath_, "partial download"));
  TryToReplaceTheSetupWhileItStarts();
  RunWorker();
  EXPECT_EQ(Sequence(), (std::vector<int>{0, 1, 3, 9, 10}));
  EXPECT_EQ(replacements_, 0);
  EXPECT_TRUE(SetupFileHolds(setupBytes_));
  EXPECT_FALSE(quilltest::FileExists(GetSetupSettings()->GetBackupSetupFilePath()));
  EXPECT_EQ(FileRequests(), 0);
}

TEST_F(WorkflowWorld, SdCardCopyUnlikeTheOfferIsReplacedByTheDownload) {
  // A copy one byte short, and one of the right size but other bytes.
  std::string altered = setupBytes_;
  altered[setupBytes_.size() / 2] ^= 0x20;
  for (const std::string& phoneCopy : {setupBytes_.substr(0, setupBytes_.size() - 1), altered}) {
    notifications_.Clear();
    ConnectPhone(phoneCopy);
    DeleteFileW(setupPath_.c_str());
    RunWorker();
    EXPECT_EQ(Sequence(), kLaunchedAfterDownload);
    EXPECT_TRUE(SetupFileHolds(setupBytes_));
    std::vector<quilltest::RecordedRequest> requests = server_.Requests();
    EXPECT_EQ(requests.back().target, kSetupPath);
    EXPECT_EQ(requests.back().Header("Range"), "bytes=0-");
    quilltest::EndProcessesNamed(L"Quillnest_SetUp_mini.exe");
  }
  EXPECT_EQ(FileRequests(), 2);
}

TEST_F(WorkflowWorld, WithoutTheServiceTheSdCardCopyIsLaunchedOnItsSignatureAlone) {
  HttpRoute unavailable;
  unavailable.status = 503;
  server_.SetRoute(kQueryPath, unavailable);
  ConnectPhone(ReadFileBytes(quilltest::StandInPath(L"recorder-unsigned.exe")));
  RunWorker();
  // Not started, deleted; the download then finds no service either.
  EXPECT_EQ(Sequence(), (std::vector<int>{0, 1, 3, 4, 6}));
  EXPECT_TRUE(Starts().empty());
  EXPECT_FALSE(quilltest::FileExists(setupPath_));

  notifications_.Clear();
  port_.reset();
  phone_.reset(new quilltest::FakeBridgeServer());
  ConnectPhone(setupBytes_);
  RunWorker();
  EXPECT_EQ(Sequence(), (std::vector<int>{0, 1, 3, 9, 10}));
  EXPECT_TRUE(SetupFileHolds(setupBytes_));
}

TEST_F(WorkflowWorld, EmptyPulledFileIsNeitherLaunchedNorDeletedButResumed) {
  ConnectPhone("");
  RunWorker();
  EXPECT_EQ(Sequence(), kLaunchedAfterDownload);
  std::vector<quilltest::RecordedRequest> requests = server_.Requests();
  for (const auto& request : requests) {
    if (request.target == kSetupPath) {
      EXPECT_EQ(request.Header("Range"), "bytes=0-");
    }
  }
  EXPECT_TRUE(SetupFileHolds(setupBytes_));
}

TEST_F(WorkflowWorld, OneDigestMismatchIsFetchedAgain) {
  std::string wrong = setupBytes_;
  wrong[7] ^= 0x01;
  ServeSetup(wrong);
  notifications_.onNotify = [&](int type, int) {
    if (type == NotifyChecksumMismatch) {
      ServeSetup(setupBytes_);
    }
  };
  RunWorker();
  EXPECT_EQ(Sequence(), (std::vector<int>{0, 1, 3, 4, 8, 7, 8, 9, 10}));
  EXPECT_EQ(FileRequests(), 2);
  EXPECT_TRUE(SetupFileHolds(setupBytes_));
}

TEST_F(WorkflowWorld, SecondDigestMismatchFailsTheDownload) {
  std::string wrong = setupBytes_;
  wrong[7] ^= 0x01;
  ServeSetup(wrong);
  RunWorker();
  EXPECT_EQ(Sequence(), (std::vector<int>{0, 1, 3, 4, 8, 7, 8, 6}));
  EXPECT_FALSE(quilltest::FileExists(setupPath_));
  EXPECT_TRUE(Starts().empty());
}

TEST_F(WorkflowWorld, FiveIncompletePassesFailOnce) {
  // Every reply is cut after 4096 bytes: five passes bring less than the file.
  ASSERT_GT(setupBytes_.size(), 5u * 4096u);
  ServeSetup(setupBytes_, 4096);
  RunWorker();
  std::vector<int> sequence = Sequence();
  EXPECT_EQ(sequence, (std::vector<int>{0, 1, 3, 4, 8, 6}));
  EXPECT_EQ(notifications_.Received().back().second,
            static_cast<int>(FailureKind::kDownloadBroken));
  EXPECT_EQ(FileRequests(), 5);
  EXPECT_EQ(ReadFileBytes(setupPath_).size(), 5u * 4096u);
}

// A service, or a download host, whose certificate is refused: the run
// fails with Retry offered, and nothing is written or started.
TEST_F(WorkflowWorld, RefusedCertificatesFailTheRunWithNothingWrittenOrStarted) {
  quilltest::TestTlsServer untrusted(quilltest::TlsCertificate::kUntrusted);
  quilltest::TestTlsServer otherHost(quilltest::TlsCertificate::kOtherHost);
  ASSERT_TRUE(untrusted.Start());
  ASSERT_TRUE(otherHost.Start());
  environment_.Set(L"QUILL_TEST_SERVICE_URL", untrusted.BaseUrl());
  RunWorker();
  EXPECT_EQ(Sequence(), (std::vector<int>{0, 1, 3, 4, 6}));
  EXPECT_EQ(quilltest::ReadResumeRecord(L"downLoadSize"), "");
  EXPECT_FALSE(quilltest::FileExists(setupPath_));

  environment_.Set(L"QUILL_TEST_SERVICE_URL", server_.BaseUrl());
  server_.SetRoute(kQueryPath,
                   quilltest::PackageService::OfferReply(QUILL_SETUP_VERSION, setupBytes_,
                                                         otherHost.BaseUrl() + kSetupPath));
  RunWorker(1);
  EXPECT_EQ(Sequence(), (std::vector<int>{0, 1, 3, 4, 6, 5, 6}));
  EXPECT_EQ(ReadFileBytes(setupPath_), "");
  EXPECT_TRUE(untrusted.Requests().empty());
  EXPECT_TRUE(otherHost.Requests().empty());
  EXPECT_TRUE(Starts().empty());
}

// What support reads: a failed download names its status, a wrong file both
// digests.
TEST_F(WorkflowWorld, LogNamesTheFailedStatusAndBothDigests) {
  ASSERT_TRUE(GetDiagnosticLog()->Open(other_.File(L"run.log")));
  HttpRoute gone;
  gone.status = 404;
  server_.SetRoute(kSetupPath, gone);
  RunWorker(1);
  std::string wrong = setupBytes_;
  wrong[7] ^= 0x01;
  ServeSetup(wrong);
  RunWorker(1);
  GetDiagnosticLog()->Close();
  EXPECT_EQ(Sequence(), (std::vector<int>{5, 6, 5, 8, 7, 8, 6}));
  const std::string log = ReadFileBytes(other_.File(L"run.log"));
  EXPECT_NE(log.find(kSetupPath + std::string(" Range bytes=0-: status 404")), std::string::npos)
      << log;
  EXPECT_NE(log.find("HTTP status 404: nothing written"), std::string::npos) << log;
  EXPECT_NE(log.find("MISMATCH, expected \"" + Md5Hex(setupBytes_) + "\", computed \"" +
                     Md5Hex(wrong) + "\""),
            std::string::npos);
  EXPECT_NE(log.find("screen: run failed (Retry offered)"), std::string::npos);
}

TEST_F(WorkflowWorld, UpToDateSuiteIsStartedInsteadOfDownloading) {
  std::wstring installDir = other_.Path() + L"\\Quillnest suite";
  PlaceRecorder(installDir, L"Quillnest.exe");
  ASSERT_TRUE(quilltest::MarkSuiteInstalled(L"" QUILL_SETUP_VERSION, installDir));
  ASSERT_TRUE(WriteFileBytes(setupPath_, "old partial"));
  RunWorker();
  EXPECT_EQ(Sequence(), (std::vector<int>{0, 1, 3, 4, 11}));
  EXPECT_FALSE(quilltest::FileExists(setupPath_));
  EXPECT_EQ(FileRequests(), 0);
  std::vector<quilltest::RecordedStart> starts = StartsOnceLogged(1);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].program, L"Quillnest.exe");
  EXPECT_EQ(starts[0].folder, installDir);
  EXPECT_EQ(starts[0].show, SW_SHOWNORMAL);
}

TEST_F(WorkflowWorld, SuiteNotKnownToBeCurrentOrWithoutItsProgramIsDownloaded) {
  std::wstring installDir = other_.Path() + L"\\Quillnest suite";
  CreateDirectoryW(installDir.c_str(), nullptr);
  ASSERT_TRUE(quilltest::MarkSuiteInstalled(L"" QUILL_SETUP_VERSION, installDir));
  // The same version, but the suite's program is gone.
  RunWorker();
  EXPECT_EQ(Sequence(), kLaunchedAfterDownload);
  std::vector<quilltest::RecordedStart> starts = StartsOnceLogged(1);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].program, L"Quillnest_SetUp_mini.exe");
}

TEST_F(WorkflowWorld, DateStyleInstalledBuildIsUpgraded) {
  ASSERT_TRUE(quilltest::MarkSuiteInstalled(L"1.0.0.2011120501", other_.Path()));
  server_.Offer(QUILL_SETUP_VERSION, setupBytes_);
  RunWorker();
  EXPECT_EQ(Sequence(), kLaunchedAfterDownload);
  EXPECT_EQ(FileRequests(), 1);
}

TEST_F(WorkflowWorld, SetupThatCannotStartIsFetchedThreeTimesAtMost) {
  // Signed by the pinned publisher, so it passes every check, but a library.
  const std::string notAProgram = ReadFileBytes(quilltest::StandInPath(L"planted-signed.dll"));
  server_.Offer(QUILL_SETUP_VERSION, notAProgram);
  RunWorker();
  // The last failed start ends on the download-failed screen, with Retry.
  EXPECT_EQ(Sequence(), (std::vector<int>{0, 1, 3, 4, 8, 9, 8, 9, 8, 9, 6}));
  EXPECT_EQ(FileRequests(), 3);
  EXPECT_FALSE(quilltest::FileExists(setupPath_));
}

// What an attacker on the network would serve, each with the reply's MD5
// computed from it: refused as a wrong digest is, deleted, fetched once
// more, refused again, and the run ends on the failure screen with Retry,
// as a file that is not the publisher's.
TEST_F(WorkflowWorld, RefusedSignaturesCountAsWrongDigestsAndNothingStarts) {
  ASSERT_TRUE(GetDiagnosticLog()->Open(other_.File(L"run.log")));
  const struct {
    std::string bytes;
    const char* code;
    const char* reason;
  } refused[] = {
      {ReadFileBytes(quilltest::StandInPath(L"recorder-unsigned.exe")), "Windows error 0x800B0100",
       "not signed"},
      {quilltest::WithCodeByteChanged(setupBytes_), "Windows error 0x80096010",
       "changed after it was signed"},
      {ReadFileBytes(quilltest::StandInPath(L"recorder-other.exe")), "no code",
       "signed by a key that is not pinned"},
      {ReadFileBytes(quilltest::StandInPath(L"recorder-stray.exe")), "Windows error 0x800B0109",
       "untrusted root"},
  };
  for (const auto& setup : refused) {
    notifications_.Clear();
    ASSERT_TRUE(WriteFileBytes(setupPath_, setup.bytes));
    server_.Offer(QUILL_SETUP_VERSION, setup.bytes);
    const int requestsBefore = FileRequests();
    RunWorker();
    EXPECT_EQ(Sequence(), (std::vector<int>{0, 1, 3, 4, 8, 7, 8, 6})) << setup.reason;
    EXPECT_EQ(notifications_.Received().back().second,
              static_cast<int>(FailureKind::kNotPublisher));
    EXPECT_EQ(FileRequests() - requestsBefore, 2);
    EXPECT_FALSE(quilltest::FileExists(setupPath_));
    const std::string log = ReadFileBytes(other_.File(L"run.log"));
    const std::string failed =
        std::string("setup run failed: start: signature refused (step 4003), ") + setup.code;
    EXPECT_NE(log.find(failed), std::string::npos) << setup.reason << "\n" << log;
    EXPECT_NE(log.find(std::string(setup.reason) + ", "), std::string::npos) << setup.reason;
  }
  GetDiagnosticLog()->Close();
  EXPECT_TRUE(Starts().empty());
}

// A pinned signature says who made a file, not which: each stand-in here is
// signed by the pinned publisher and matches the reply's size and digest,
// and only the suite's setup of the offered version, at or above the floor
// and the installed suite, starts. A refusal names what was found against
// what was wanted; the file goes, as one with a refused signature does.
TEST_F(WorkflowWorld, OnlyTheOfferedReleaseOfTheSuiteStarts) {
  const std::string floor = MinimumSetupVersion();
  const std::string driverName = WideToUtf8(SuiteProductName()) + " Driver";
  const struct {
    const wchar_t* standIn;
    const char* offered;
    const wchar_t* installed;  // empty: no suite
    bool starts;
    std::vector<std::string> named;  // in the failure's log line
  } cases[] = {
      {L"recorder.exe", QUILL_SETUP_VERSION, L"", true, {}},
      {L"recorder-older.exe",
       QUILL_SETUP_VERSION,
       L"",
       false,
       {QUILL_OLDER_SETUP_VERSION, QUILL_SETUP_VERSION}},
      {L"recorder-newer.exe",
       QUILL_SETUP_VERSION,
       L"",
       false,
       {QUILL_NEWER_SETUP_VERSION, QUILL_SETUP_VERSION}},
      {L"recorder-below-floor.exe",
       QUILL_FLOORLESS_SETUP_VERSION,
       L"",
       false,
       {QUILL_FLOORLESS_SETUP_VERSION, floor}},
      {L"recorder-bare.exe", QUILL_SETUP_VERSION, L"", false, {}},
      {L"recorder-driver.exe", QUILL_SETUP_VERSION, L"", false, {driverName}},
      // Installed, but without its program: the route fetches the offer.
      {L"recorder.exe",
       QUILL_SETUP_VERSION,
       L"" QUILL_NEWER_SETUP_VERSION,
       false,
       {QUILL_SETUP_VERSION, QUILL_NEWER_SETUP_VERSION}},
  };
  const std::string step =
      "(step " + std::to_string(static_cast<int>(StatusStep::kStartVersion)) + ")";
  for (const auto& setup : cases) {
    SCOPED_TRACE(WideToUtf8(setup.standIn));
    notifications_.Clear();
    const std::string bytes = ReadFileBytes(quilltest::StandInPath(setup.standIn));
    server_.Offer(setup.offered, bytes);
    if (*setup.installed != L'\0') {
      ASSERT_TRUE(quilltest::MarkSuiteInstalled(setup.installed, other_.Path()));
    }
    DeleteFileW(other_.File(L"run.log").c_str());
    ASSERT_TRUE(GetDiagnosticLog()->Open(other_.File(L"run.log")));
    RunWorker();
    GetDiagnosticLog()->Close();
    if (setup.starts) {
      EXPECT_EQ(Sequence(), kLaunchedAfterDownload);
      ASSERT_EQ(StartsOnceLogged(1).size(), 1u);
      quilltest::EndProcessesNamed(L"Quillnest_SetUp_mini.exe");
      DeleteFileW(setupPath_.c_str());
      DeleteFileW(log_.c_str());
      continue;
    }
    EXPECT_EQ(Sequence(), (std::vector<int>{0, 1, 3, 4, 8, 7, 8, 6}));
    EXPECT_EQ(notifications_.Received().back().second,
              static_cast<int>(FailureKind::kNotPublisher));
    EXPECT_FALSE(quilltest::FileExists(setupPath_));
    const std::string log = ReadFileBytes(other_.File(L"run.log"));
    const size_t failed = log.find("setup run failed: ");
    ASSERT_NE(failed, std::string::npos) << log;
    const std::string line = log.substr(failed, log.find('\n', failed) - failed);
    EXPECT_NE(line.find(step), std::string::npos) << line;
    for (const std::string& named : setup.named)
      EXPECT_NE(line.find(named), std::string::npos) << named << " in " << line;
  }
  EXPECT_TRUE(Starts().empty());
}

// Each kind of failure as a user meets it: the run ends on the failure
// screen with that kind, and the log names the step and the code that
// failed. (A download that keeps breaking off, a file that is not the
// publisher's and one in use have cases of their own; the screen's line and
// the exit code of each kind are the window's, tested with it.)
TEST_F(WorkflowWorld, EachFailureReachesTheScreenWithItsKindAndTheLogWithItsCause) {
  const struct {
    const char* name;
    std::function<void()> arrange;
    FailureKind kind;
    const char* logged;
  } worlds[] = {
      {"service down", [&] { environment_.Set(L"QUILL_TEST_SERVICE_URL", L"http://127.0.0.1:1"); },
       FailureKind::kNoConnection,
       "package query: send the request (step 2009), WinINet error 12029"},
      {"proxy asking for credentials",
       [&] {
         HttpRoute proxy;
         proxy.status = 407;
         proxy.body = "proxy authentication required";
         server_.SetRoute(kQueryPath, proxy);
       },
       FailureKind::kProxyRefused, "package reply: not 200 OK (step 2101), HTTP status 407"},
      {"portal page",
       [&] {
         HttpRoute portal;
         portal.contentType = "text/html";
         portal.body = "<html><body>Sign in to the hotel network</body></html>";
         server_.SetRoute(kQueryPath, portal);
       },
       FailureKind::kBadReply, "package reply: not one JSON object (step 2102)"},
      {"offer without a digest",
       [&] {
         HttpRoute offer;
         offer.body = "{\"RES\":\"SUCCESS\",\"VerName\":\"1.0.0.100\",\"DownloadURL\":\"" +
                      server_.BaseUrl() + kSetupPath + "\",\"Size\":\"4194304\"}";
         server_.SetRoute(kQueryPath, offer);
       },
       FailureKind::kBadReply, "package reply: FPMD5 unusable (step 2108)"},
      {"offer that is not a version", [&] { server_.Offer("1.0.100", setupBytes_); },
       FailureKind::kBadReply, "package reply: VerName unusable (step 2105)"},
      {"setup file's place taken by a folder",
       [&] { ASSERT_TRUE(CreateDirectoryW(setupPath_.c_str(), nullptr)); },
       FailureKind::kDiskProblem, "download: open the setup file (step 1002), Windows error 5"},
  };
  for (const auto& world : worlds) {
    SCOPED_TRACE(world.name);
    notifications_.Clear();
    ASSERT_TRUE(GetDiagnosticLog()->Open(other_.File(L"run.log")));
    world.arrange();
    RunWorker(1);
    GetDiagnosticLog()->Close();
    const auto received = notifications_.Received();
    ASSERT_FALSE(received.empty());
    EXPECT_EQ(received.back(),
              std::make_pair(static_cast<int>(NotifyDownloadFailed), static_cast<int>(world.kind)));
    const std::string log = ReadFileBytes(other_.File(L"run.log"));
    EXPECT_NE(log.find(std::string("setup run failed: ") + world.logged), std::string::npos) << log;
    EXPECT_TRUE(Starts().empty());
    // The next world starts from the same place.
    environment_.Set(L"QUILL_TEST_SERVICE_URL", server_.BaseUrl());
    server_.Offer(QUILL_SETUP_VERSION, setupBytes_);
    RemoveDirectoryW(setupPath_.c_str());
    DeleteFileW(setupPath_.c_str());
  }
}

// A setup file another program holds is that program's: it is neither
// deleted nor fetched again nor called a wrong digest, and the run fails
// saying so.
TEST_F(WorkflowWorld, SetupFileInUseIsLeftAloneAndNamedAsTheCause) {
  const std::string partial = setupBytes_.substr(0, 1000);
  ASSERT_TRUE(WriteFileBytes(setupPath_, partial));
  HANDLE holder = CreateFileW(setupPath_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  RunWorker();
  CloseHandle(holder);
  EXPECT_EQ(Sequence(), (std::vector<int>{0, 1, 3, 4, 6}));
  EXPECT_EQ(notifications_.Received().back().second, static_cast<int>(FailureKind::kFileInUse));
  EXPECT_EQ(FileRequests(), 0);
  EXPECT_TRUE(SetupFileHolds(partial));
}

TEST_F(WorkflowWorld, UnsignedDriverInstallerIsNotStartedAndTheRunGoesOn) {
  SetupSettings* settings = GetSetupSettings();
  CreateDirectoryW(other_.Path().c_str(), nullptr);
  settings->driverPath = other_.File(L"driver.exe");
  ASSERT_TRUE(quilltest::CopyStandIn(L"recorder-unsigned.exe", settings->driverPath));
  RunWorker();
  EXPECT_EQ(Sequence(), (std::vector<int>{0, 1, 2, 3, 4, 8, 9, 10}));
  std::vector<quilltest::RecordedStart> starts = StartsOnceLogged(1);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].program, L"Quillnest_SetUp_mini.exe");
  EXPECT_TRUE(quilltest::FileExists(settings->driverPath));  // not ours to delete
}

TEST_F(WorkflowWorld, StopDuringTheFirstPauseEndsSilently) {
  onPause_ = [&](DWORD milliseconds) {
    if (milliseconds == 500) {
      GetReroZadezHelper()->stopRequested = 1;
    }
  };
  RunWorker();
  EXPECT_EQ(Sequence(), std::vector<int>{0});
  EXPECT_EQ(server_.Requests().size(), 0u);
}

TEST_F(WorkflowWorld, StopDuringADownloadEndsItWithoutAFailure) {
  notifications_.onNotify = [&](int type, int) {
    if (type == NotifyProgress) {
      GetReroZadezHelper()->stopRequested = 1;
    }
  };
  ServeSetup(setupBytes_, 10000);
  RunWorker();
  EXPECT_EQ(Sequence(), (std::vector<int>{0, 1, 3, 4, 8}));
  EXPECT_EQ(FileRequests(), 1);
  EXPECT_TRUE(Starts().empty());
}

TEST_F(WorkflowWorld, StopBetweenPassesEndsTheRoute) {
  ServeSetup(setupBytes_, 4096);
  onPause_ = [&](DWORD milliseconds) {
    if (milliseconds == 100 && FileRequests() == 2) {
      GetReroZadezHelper()->stopRequested = 1;  // after the second incomplete pass
    }
  };
  RunWorker();
  EXPECT_EQ(Sequence(), (std::vector<int>{0, 1, 3, 4, 8}));
  EXPECT_EQ(FileRequests(), 2);
}

TEST_F(WorkflowWorld, StopAskedBeforeTheRunBeganEndsIt) {
  // The window cleared the flag and started the thread; the close came
  // before the thread ran.
  CReroZadezHelper* worker = GetReroZadezHelper();
  worker->stopRequested = 1;
  EXPECT_EQ(worker->Run(), 1);
  EXPECT_EQ(worker->running, 0);
  EXPECT_TRUE(Sequence().empty());
  EXPECT_TRUE(server_.Requests().empty());
}

TEST(WorkflowRun, SecondRunWhileOneIsInProgressChangesNothing) {
  CReroZadezHelper* worker = GetReroZadezHelper();
  quilltest::NotificationRecorder notifications;
  worker->running = 1;
  worker->stopRequested = 1;
  EXPECT_EQ(worker->Run(), 0);
  EXPECT_EQ(worker->running, 1);
  EXPECT_EQ(worker->stopRequested, 1);
  EXPECT_TRUE(notifications.Received().empty());
  worker->running = 0;
}

}  // namespace
}  // namespace rerozadez
