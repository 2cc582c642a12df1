// The download route and the package query through a real caching proxy
// (squid, started by the ProxySquid fixture on three ports of its own) in
// front of a loopback origin on 127.0.0.2, which Wine's proxy settings do
// not bypass. The proxy is set in the prefix's Internet Settings for each
// case and removed afterwards.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "net/proxy_credentials.h"
#include "platform/file_digest.h"
#include "platform/pause.h"
#include "settings/setup_settings.h"
#include "tests/support/package_service.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/stand_ins.h"
#include "tests/support/test_files.h"
#include "tests/support/test_registry.h"
#include "workflow/download_route.h"
#include "workflow/run_failure.h"
#include "workflow/worker.h"

namespace rerozadez {
namespace {

using quilltest::HttpRoute;
using quilltest::PackageService;
using quilltest::ReadFileBytes;
using quilltest::ScratchDir;
using quilltest::SetSystemProxy;
using quilltest::WriteFileBytes;

const char* const kQueryPath = PackageService::kQueryPath;
const char* const kFilePath = PackageService::kFilePath;

struct SquidPorts {
  int plain = 0;  // an ordinary caching proxy
  int whole = 0;  // range_offset_limit none: every object from its first byte
  int auth = 0;   // basic credentials quill / nest-7
};

bool ReadSquidPorts(SquidPorts* ports) {
  FILE* file = _wfopen(QUILL_SQUID_PORTS, L"r");
  if (file == nullptr)
    return false;
  const int read =
      fscanf(file, "plain=%d whole=%d auth=%d", &ports->plain, &ports->whole, &ports->auth);
  fclose(file);
  return read == 3;
}

// A setup the route may start: signed by the publisher the test build pins.
std::string SignedSetup() {
  return ReadFileBytes(quilltest::StandInPath(L"recorder.exe"));
}

std::string TestBytes(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<char>((i * 167 + i / 509) & 0xFF);
  return bytes;
}

class ProxyNetworks : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ReadSquidPorts(&squid_)) << "the ProxySquid fixture did not start squid";
    ASSERT_TRUE(origin_.Start(0, "127.0.0.2"));
    environment_.Set(L"APPDATA", appData_.Path());
    environment_.Set(L"QUILL_STAND_IN_LOG", other_.File(L"starts.log"));
    environment_.Set(L"QUILL_TEST_SERVICE_URL", origin_.BaseUrl());
    // A short silence limit, so a stalled pass costs 2 s instead of 30 s.
    environment_.Set(L"QUILL_TEST_RECEIVE_TIMEOUT_MS", "2000");
    setupPath_ = GetSetupSettings()->GetSetupFilePath();
    GetReroZadezHelper()->stopRequested = 0;
    // The end of a body is eleven empty reads; no need to sit through them.
    SetPauseHook([](DWORD, void*) {}, nullptr);
  }

  void TearDown() override {
    SetSystemProxy(0);
    SetPauseHook(nullptr, nullptr);
    origin_.Stop();
    quilltest::EndProcessesNamed(kSetupFileName);
  }

  // Runs the download route: kNone when it started the setup, else the kind
  // of failure the window would show.
  FailureKind RunRoute() {
    const RouteResult result = DownloadSetupFile(GetReroZadezHelper());
    if (result.outcome == kDownloadedSetupStarted)
      return FailureKind::kNone;
    const FailureKind kind = ClassifyFailure(result.status);
    return kind == FailureKind::kNone ? FailureKind::kSetupNotStarted : kind;
  }

  // The Range of each request for the file, in order ("" for none).
  std::vector<std::string> FileRanges() {
    std::vector<std::string> ranges;
    for (const auto& request : origin_.Requests()) {
      if (request.target == kFilePath)
        ranges.push_back(request.Header("Range"));
    }
    return ranges;
  }
  int Requests(const std::string& path) const { return origin_.RequestsFor(path); }

  SquidPorts squid_;
  PackageService origin_;
  ScratchDir appData_;
  ScratchDir other_;
  quilltest::ScopedEnvironment environment_;
  quilltest::ScopedProgramKeys registry_;
  std::wstring setupPath_;
};

// A school cache that fetches whole files answers a resumed range only once
// it has fetched the bytes before it itself: on a slow line the resumed pass
// hears nothing, the next pass asks from byte 0, which flows at once.
TEST_F(ProxyNetworks, WholeFileCacheOnASlowLineCompletesTheResumedFile) {
  const std::string bytes = SignedSetup();
  origin_.Offer(QUILL_SETUP_VERSION, bytes);
  HttpRoute file;
  file.body = bytes;
  file.bytesPerSecond = 192 * 1024;  // the resume point is 3 s away
  origin_.SetRoute(kFilePath, file);
  ASSERT_TRUE(WriteFileBytes(setupPath_, bytes.substr(0, 600000)));
  SetSystemProxy(squid_.whole);

  const DWORD started = GetTickCount();
  EXPECT_EQ(FailureKind::kNone, RunRoute());
  const DWORD elapsed = GetTickCount() - started;
  EXPECT_TRUE(ReadFileBytes(setupPath_) == bytes);
  // squid asks the origin for whole files whatever the client's Range.
  EXPECT_EQ(FileRanges().size(), 2u);
  printf(
      "whole-file cache: completed in %lu ms, %d file requests and %lld body bytes at the "
      "origin for a %u-byte file resumed at 600000\n",
      elapsed, Requests(kFilePath), origin_.BodyBytesSent(), static_cast<unsigned>(bytes.size()));
}

// On an ordinary network a stall is a stall: one pass asks from byte 0, the
// others resume; the partial file is never lost.
TEST_F(ProxyNetworks, StallBehindAnOrdinaryCacheKeepsThePartialFile) {
  const std::string bytes = TestBytes(400000);
  origin_.Offer(QUILL_SETUP_VERSION, bytes);
  HttpRoute file;
  file.body = bytes;
  file.stallAfterBytes = 0;
  file.stallMilliseconds = 60000;
  origin_.SetRoute(kFilePath, file);
  const std::string partial = bytes.substr(0, 100000);
  ASSERT_TRUE(WriteFileBytes(setupPath_, partial));
  SetSystemProxy(squid_.plain);

  EXPECT_EQ(FailureKind::kDownloadBroken, RunRoute());
  EXPECT_TRUE(ReadFileBytes(setupPath_) == partial);
  const std::vector<std::string> expected = {"bytes=100000-", "bytes=0-", "bytes=100000-",
                                             "bytes=100000-", "bytes=100000-"};
  EXPECT_EQ(FileRanges(), expected);
}

// The query asks caches not to answer for the service: a changed offer is
// seen by the second query of the same run. (Asked without that, squid
// revalidates and the origin, like nginx for a file whose time did not
// change, answers 304: the old offer would come from squid's memory.)
TEST_F(ProxyNetworks, SecondQueryOfARunSeesAChangedOffer) {
  auto offerCacheable = [this](const std::string& version) {
    HttpRoute reply =
        PackageService::OfferReply(version, TestBytes(10), origin_.BaseUrl() + kFilePath);
    reply.headers = {{"Cache-Control", "public, max-age=3600"},
                     {"Last-Modified", "Mon, 07 Dec 2026 10:00:00 GMT"}};
    origin_.SetRoute(kQueryPath, reply);
  };
  offerCacheable("1.0.0.9");
  SetSystemProxy(squid_.plain);
  std::string version, address, size, digest;
  ASSERT_TRUE(QueryConfiguredPackage(version, address, size, digest).ok());
  EXPECT_EQ(version, "1.0.0.9");
  offerCacheable("1.0.0.10");
  ASSERT_TRUE(QueryConfiguredPackage(version, address, size, digest).ok());
  EXPECT_EQ(version, "1.0.0.10");
  EXPECT_EQ(Requests(kQueryPath), 2);
}

// A captive portal answers the download with its page: nothing is written
// under the setup's name, and on a good network the next run downloads once.
TEST_F(ProxyNetworks, CaptivePortalPageIsNotWrittenAndTheNextRunDownloadsOnce) {
  const std::string bytes = SignedSetup();
  origin_.Offer(QUILL_SETUP_VERSION, bytes);
  HttpRoute portal;
  portal.contentType = "text/html";
  portal.honourRange = false;
  portal.body = "<html><body><form>Accept the terms to use the hotel network</form></body></html>";
  origin_.SetRoute(kFilePath, portal);
  SetSystemProxy(squid_.plain);
  EXPECT_EQ(FailureKind::kBadReply, RunRoute());
  EXPECT_EQ(ReadFileBytes(setupPath_), "");

  origin_.Offer(QUILL_SETUP_VERSION, bytes);
  const size_t before = FileRanges().size();
  EXPECT_EQ(FailureKind::kNone, RunRoute());
  EXPECT_TRUE(ReadFileBytes(setupPath_) == bytes);
  EXPECT_EQ(FileRanges().size(), before + 1);
  EXPECT_EQ(FileRanges().back(), "bytes=0-");
}

// Answers Windows' proxy-credentials dialogs of this process from another
// thread, as a user would: types the credentials and presses OK, or Cancel.
class DialogAnswerer {
 public:
  DialogAnswerer() : thread_([this] { Watch(); }) {}
  ~DialogAnswerer() {
    done_ = true;
    thread_.join();
  }
  void Answer(const std::wstring& user, const std::wstring& password, bool ok) {
    std::lock_guard<std::mutex> lock(mutex_);
    user_ = user;
    password_ = password;
    ok_ = ok;
  }
  int Shown() const { return shown_; }

 private:
  static BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t name[16] = L"";
    GetClassNameW(window, name, 16);
    if (process == GetCurrentProcessId() && IsWindowVisible(window) &&
        lstrcmpW(name, L"#32770") == 0) {
      *reinterpret_cast<HWND*>(found) = window;
      return FALSE;
    }
    return TRUE;
  }
  static BOOL CALLBACK FillEdit(HWND child, LPARAM self) {
    auto* answerer = reinterpret_cast<DialogAnswerer*>(self);
    wchar_t name[16] = L"";
    GetClassNameW(child, name, 16);
    if (lstrcmpiW(name, L"Edit") == 0) {
      const bool secret = (GetWindowLongW(child, GWL_STYLE) & ES_PASSWORD) != 0;
      SendMessageW(
          child, WM_SETTEXT, 0,
          reinterpret_cast<LPARAM>((secret ? answerer->password_ : answerer->user_).c_str()));
    }
    return TRUE;
  }
  void Watch() {
    HWND answered = nullptr;
    while (!done_) {
      HWND dialog = nullptr;
      EnumWindows(&FindDialog, reinterpret_cast<LPARAM>(&dialog));
      if (dialog != nullptr && dialog != answered) {
        std::lock_guard<std::mutex> lock(mutex_);
        ++shown_;
        EnumChildWindows(dialog, &FillEdit, reinterpret_cast<LPARAM>(this));
        const int button = ok_ ? IDOK : IDCANCEL;
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
        answered = dialog;
      }
      Sleep(50);
    }
  }

  std::mutex mutex_;
  std::wstring user_, password_;
  bool ok_ = false;
  std::atomic<int> shown_{0};
  std::atomic<bool> done_{false};
  std::thread thread_;
};

// A proxy asking for a password: Cancel fails the route as before (and is
// not asked again in that run); in the next run what the user types is sent,
// the query and the download go through, and nothing is asked twice.
TEST_F(ProxyNetworks, ProxyAskingForAPasswordGetsWhatTheUserTypes) {
  HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                               100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(owner, nullptr);
  GetProxyCredentials()->SetPromptOwner(owner);
  const std::string bytes = SignedSetup();
  origin_.Offer(QUILL_SETUP_VERSION, bytes);
  SetSystemProxy(squid_.auth);
  DialogAnswerer user;

  user.Answer(L"", L"", false);
  GetProxyCredentials()->BeginRun();
  EXPECT_EQ(FailureKind::kProxyRefused, RunRoute());
  std::string version, address, size, digest;
  const Status refused = QueryConfiguredPackage(version, address, size, digest);
  EXPECT_EQ(StatusStep::kReplyStatus, refused.step);
  EXPECT_EQ(407u, refused.code);
  EXPECT_EQ(user.Shown(), 1);
  EXPECT_EQ(Requests(kQueryPath), 0);

  user.Answer(L"quill", L"nest-7", true);
  GetProxyCredentials()->BeginRun();
  EXPECT_EQ(FailureKind::kNone, RunRoute());
  EXPECT_TRUE(ReadFileBytes(setupPath_) == bytes);
  EXPECT_EQ(user.Shown(), 2);
  EXPECT_EQ(Requests(kQueryPath), 1);
  DestroyWindow(owner);
}

}  // namespace
}  // namespace rerozadez
