#include "workflow/worker.h"

#include <windows.h>

#include "net/proxy_credentials.h"
#include "platform/diagnostic_log.h"
#include "platform/pause.h"
#include "platform/process_util.h"
#include "platform/system_info.h"
#include "settings/setup_settings.h"
#include "settings/sys_util.h"
#include "workflow/download_route.h"
#include "workflow/resume_state.h"
#include "workflow/sd_card_route.h"

namespace rerozadez {
namespace {

const DWORD kStagePause = 500;
const int kLaunchAttempts = 3;

// Notification names as the log shows them, by type.
const char* const kNotifyNames[] = {"run started",
                                    "fetch stage",
                                    "installing driver",
                                    "reading SD card",
                                    "download started",
                                    "download restarted",
                                    "download failed (Retry offered)",
                                    "checksum mismatch",
                                    "progress",
                                    "launching setup",
                                    "setup launched",
                                    "run finished"};

}  // namespace

CReroZadezHelper::CReroZadezHelper()
    : running(0), stopRequested(1), retryMode(0), notify(nullptr), notifyContext(nullptr) {}

void CReroZadezHelper::Notify(int type, int value) const {
  // Progress comes with every read; the log keeps the screens only.
  if (type != NotifyProgress && type >= 0 && type <= NotifyRunFinished) {
    LogLine("screen: %s", kNotifyNames[type]);
  }
  if (notify != nullptr) {
    notify(type, value, notifyContext);
  }
}

CReroZadezHelper* GetReroZadezHelper() {
  // Deliberately leaked: a worker thread may still use it while the process exits.
  static CReroZadezHelper* const instance = new CReroZadezHelper();
  return instance;
}

int CReroZadezHelper::Run() {
  // Only the first of two racing starts gets through.
  int idle = 0;
  if (!running.compare_exchange_strong(idle, 1)) {
    return 0;
  }

  // Every way out clears running; a stop check answers 1, the other ends 0.
  struct RunningFlag {
    std::atomic<int>& running;
    ~RunningFlag() { running = 0; }
  } clearOnExit{running};
  auto stopChecked = [this] {
    if (stopRequested == 0) {
      return false;
    }
    LogLine("run stops: asked to");
    return true;
  };
  // The window clears the stop flag before it starts a run, so a close that
  // came since, even before this thread got going, ends the run here.
  if (stopChecked()) {
    return 1;
  }

  SetupSettings* settings = GetSetupSettings();
  LogLine("run begins (%s)", retryMode == 0 ? "full run" : "retry: the download only");
  // A proxy's credentials dialog cancelled in an earlier run may show again.
  GetProxyCredentials()->BeginRun();
  if (retryMode == 0) {
    Notify(NotifyRunStarted);
  }
  Pause(kStagePause);
  if (stopChecked()) {
    return 1;
  }

  if (retryMode == 0) {
    Notify(NotifyFetchStage);
    if (!settings->driverPath.empty()) {
      Notify(NotifyInstallingDriver);
      StartVerifiedProgram("driver installer",
                           {settings->driverPath, L"", settings->driverParams, true, false},
                           nullptr, nullptr);
    }
    if (stopChecked()) {
      return 1;
    }

    // Refresh the expected size and digest, so that an earlier copy is
    // judged against the package on offer now.
    std::string verName, downloadUrl, size, fpmd5;
    bool offerKnown = QueryConfiguredPackage(verName, downloadUrl, size, fpmd5);
    if (offerKnown) {
      OutputDebugStringA("update the download size and md5\n");
      const Status stored = StoreResumeRecord(size, fpmd5);
      if (!stored.ok()) {
        LogStatus("resume record", stored);
      }
      LogLine("resume record: size %s, digest %s (version %s)", size.c_str(), fpmd5.c_str(),
              verName.c_str());
    } else {
      LogLine("resume record kept: the package service gave no usable answer");
    }

    // Each file is started through the one gate: held, checked and signed.
    if (IsDownloadComplete()) {
      LogLine("earlier copy: complete, verifying it");
      if (StartSetupFile("earlier copy", [] { return IsDigestMatching(); }) == kProgramStarted) {
        return 0;
      }
    } else {
      LogLine("earlier copy: %I64u bytes, not complete",
              GetSysUtil()->GetFileLength(settings->GetSetupFilePath()));
    }
    if (stopChecked()) {
      return 1;
    }

    if (FetchFromSdCard(this) && GetSysUtil()->GetFileLength(settings->GetSetupFilePath()) > 0) {
      LogLine("SD card: pulled %I64u bytes",
              GetSysUtil()->GetFileLength(settings->GetSetupFilePath()));
      // With this run's offer known, the phone's copy must be exactly that
      // offer. Without it the card is the offline route, and its copy is
      // taken on its signature alone.
      auto isOffer = [offerKnown] {
        if (offerKnown && !IsSetupFileAsRecorded()) {
          LogLine("SD card: the pulled file is not the offered setup, deleted");
          return false;
        }
        return true;
      };
      if (StartSetupFile("SD card copy", isOffer) == kProgramStarted) {
        return 0;
      }
    }
  }

  Notify(retryMode == 0 ? NotifyDownloadStarted : NotifyDownloadRestarted);
  int launchAttempts = 0;
  for (;;) {
    if (stopChecked()) {
      return 1;
    }
    const DownloadOutcome outcome = DownloadSetupFile(this);
    if (outcome == kDownloadEnded || outcome == kDownloadedSetupStarted) {
      return 0;
    }
    if (outcome == kDownloadedSetupNotStarted) {
      if (++launchAttempts >= kLaunchAttempts) {
        // The user can act on a failed download (Retry); a silent end would
        // leave the window on the launching text.
        LogLine("the downloaded setup did not start %d times", kLaunchAttempts);
        Notify(NotifyDownloadFailed);
        return 0;
      }
      continue;
    }
    // The route succeeded without a file: the installed suite is current.
    std::string version;
    std::wstring installDir;
    if (settings->IsSuiteInstalled(version, installDir)) {
      std::wstring program = FindSuiteProgram(installDir);
      if (!program.empty()) {
        LogLine("starting the installed suite %s", version.c_str());
        GetProcessUtil()->RunProgram(installDir, program, L"", false, true);
      }
    }
    Notify(NotifyRunFinished);
    return 0;
  }
}

StartOutcome CReroZadezHelper::StartSetupFile(const char* source,
                                              const std::function<bool()>& contentCheck) {
  const std::wstring setupPath = GetSetupSettings()->GetSetupFilePath();
  LogLine("setup file from the %s: verifying it before the start", source);
  // No arguments at all: the full setup runs as if the user had started it.
  const StartOutcome outcome = StartVerifiedProgram(
      "setup", {setupPath, GetSysUtil()->GetTempWorkFolder(), L"", false, true}, contentCheck,
      [this] { Notify(NotifyLaunchingSetup); });
  if (outcome == kProgramStarted) {
    Pause(kStagePause);
    Notify(NotifySetupLaunched);
  } else {
    DeleteFileW(setupPath.c_str());
  }
  return outcome;
}

unsigned __stdcall WorkerThreadProc(void* worker) {
  if (worker != nullptr) {
    static_cast<CReroZadezHelper*>(worker)->Run();
  }
  return 0;
}

}  // namespace rerozadez
