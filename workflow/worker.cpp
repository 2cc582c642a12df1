#include "workflow/worker.h"

#include <windows.h>

#include "net/proxy_credentials.h"
#include "platform/diagnostic_log.h"
#include "platform/pause.h"
#include "platform/process_instance.h"
#include "platform/process_util.h"
#include "platform/system_info.h"
#include "settings/setup_settings.h"
#include "settings/sys_util.h"
#include "workflow/download_route.h"
#include "workflow/resume_state.h"
#include "workflow/run_failure.h"
#include "workflow/sd_card_route.h"
#include "workflow/setup_layout.h"
#include "workflow/setup_version_check.h"

namespace rerozadez {
namespace {

const DWORD kStagePause = 500;
const int kLaunchAttempts = 3;

// A layout that could not be written: the verified file is not to blame.
bool IsLayoutFailure(const Status& status) {
  return status.step >= StatusStep::kLayoutMakeFolder &&
         status.step <= StatusStep::kLayoutWriteManifest;
}

// Notification names as the log shows them, by type.
const char* const kNotifyNames[] = {"run started",
                                    "fetch stage",
                                    "installing driver",
                                    "reading SD card",
                                    "download started",
                                    "download restarted",
                                    "run failed (Retry offered)",
                                    "checksum mismatch",
                                    "progress",
                                    "launching setup",
                                    "setup launched",
                                    "run finished"};

}  // namespace

CReroZadezHelper::CReroZadezHelper()
    : running(false),
      stopRequested(true),
      retryMode(false),
      notify(nullptr),
      setupExitCode(0),
      notifyContext(nullptr) {}

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
  return ProcessInstance<CReroZadezHelper>();
}

bool CReroZadezHelper::StopChecked() const {
  if (!stopRequested) {
    return false;
  }
  LogLine("run stops: asked to");
  return true;
}

int CReroZadezHelper::Run() {
  // Only the first of two racing starts gets through.
  bool idle = false;
  if (!running.compare_exchange_strong(idle, true)) {
    return 0;
  }
  // Every way out clears running; a stop check answers 1, the other ends 0.
  struct RunningFlag {
    std::atomic<bool>& running;
    ~RunningFlag() { running = false; }
  } clearOnExit{running};
  // The window clears the stop flag before it starts a run, so a close that
  // came since, even before this thread got going, ends the run here.
  if (StopChecked()) {
    return 1;
  }

  LogLine("run begins (%s)", !retryMode ? "full run" : "retry: the download only");
  // Only an offer of this run names the version a setup must be.
  offeredVersion.clear();
  // A proxy's credentials dialog cancelled in an earlier run may show again.
  GetProxyCredentials()->BeginRun();
  if (!retryMode) {
    Notify(NotifyRunStarted);
  }
  Pause(kStagePause);
  if (StopChecked()) {
    return 1;
  }

  if (!retryMode) {
    Notify(NotifyFetchStage);
    RunDriverInstaller();
    if (StopChecked()) {
      return 1;
    }
    const bool offerKnown = RefreshOffer();
    StageEnd stage = TryEarlierCopy();
    if (stage == StageEnd::kGoOn) {
      stage = TrySourceFolder(offerKnown);
    }
    if (stage == StageEnd::kGoOn && StopChecked()) {
      stage = StageEnd::kStopped;
    }
    if (stage == StageEnd::kGoOn) {
      stage = TrySdCard(offerKnown);
    }
    if (stage != StageEnd::kGoOn) {
      return stage == StageEnd::kStopped ? 1 : 0;
    }
  }
  Notify(!retryMode ? NotifyDownloadStarted : NotifyDownloadRestarted);
  return RunDownloadPhase();
}

void CReroZadezHelper::RunDriverInstaller() {
  SetupSettings* settings = GetSetupSettings();
  // A layout is made for other PCs; this one's device is not its business.
  if (settings->driverPath.empty() || !settings->layoutFolder.empty()) {
    return;
  }
  Notify(NotifyInstallingDriver);
  const Status started = StartVerifiedProgram(
      "driver installer", {settings->driverPath, L"", settings->driverParams, true, false},
      nullptr);
  if (!started.ok()) {
    LogStatus("driver installer (the run goes on without it)", started);
  }
}

bool CReroZadezHelper::RefreshOffer() {
  // Refresh the expected size and digest, so that an earlier copy is
  // judged against the package on offer now.
  std::string verName, downloadUrl, size, fpmd5;
  const Status queried = QueryConfiguredPackage(verName, downloadUrl, size, fpmd5);
  if (!queried.ok()) {
    LogStatus("package query (the resume record is kept)", queried);
    return false;
  }
  OutputDebugStringA("update the download size and md5\n");
  offeredVersion = verName;
  const Status stored = StoreResumeRecord(size, fpmd5);
  if (!stored.ok()) {
    LogStatus("resume record", stored);
  } else {
    LogLine("resume record: size %s, digest %s (version %s)", size.c_str(), fpmd5.c_str(),
            verName.c_str());
  }
  return true;
}

CReroZadezHelper::StageEnd CReroZadezHelper::TryEarlierCopy() {
  const std::wstring setupPath = GetSetupSettings()->GetSetupFilePath();
  if (!IsDownloadComplete()) {
    LogLine("earlier copy: %I64u bytes, not complete", GetSysUtil()->GetFileLength(setupPath));
    return StageEnd::kGoOn;
  }
  // Each file is started through the one gate: held, checked and signed.
  LogLine("earlier copy: complete, verifying it");
  const Status started = LaunchSetupFile("earlier copy", [] {
    Status why;
    return IsDigestMatching(&why) ? Status::Ok() : why;
  });
  return AfterLaunch("earlier copy (deleted)", started);
}

CReroZadezHelper::StageEnd CReroZadezHelper::TrySourceFolder(bool offerKnown) {
  const std::wstring folder = GetSetupSettings()->sourceFolder;
  if (folder.empty()) {
    return StageEnd::kGoOn;
  }
  const std::wstring path = LayoutSetupPath(folder);
  if (!PathExists(path)) {
    LogLine("source folder %s: no setup there", LogText(folder).c_str());
    return StageEnd::kGoOn;
  }
  // Checked and started where it is: the folder's copy never replaces the
  // working copy, so a refused one costs nothing here. Without this run's
  // offer the layout's manifest says what the file must be.
  LayoutManifest manifest;
  const Status manifestRead = offerKnown ? Status::Ok() : ReadLayoutManifest(folder, &manifest);
  const std::function<Status()> contentCheck = [offerKnown, &manifestRead, &manifest, path] {
    Status why = manifestRead;
    if (offerKnown) {
      IsFileAsRecorded(path, &why);  // why: Ok, or what differed
    } else if (why.ok()) {
      const int64_t size = ParseSizeText(GetSysUtil()->AnsiToWide(manifest.size.c_str()));
      IsFileAsExpected(path, size, manifest.md5, &why);
    }
    return why;
  };
  const Status started =
      offerKnown ? UseSetupFile("source folder", path, contentCheck, offeredVersion, "offered")
                 : UseSetupFile("source folder", path, contentCheck, manifest.version, "manifest");
  return AfterLaunch("source folder copy (left in place)", started);
}

CReroZadezHelper::StageEnd CReroZadezHelper::TrySdCard(bool offerKnown) {
  const std::wstring setupPath = GetSetupSettings()->GetSetupFilePath();
  if (!FetchFromSdCard(this) || GetSysUtil()->GetFileLength(setupPath) == 0) {
    return StageEnd::kGoOn;
  }
  LogLine("SD card: pulled %I64u bytes", GetSysUtil()->GetFileLength(setupPath));
  // With this run's offer known, the phone's copy must be exactly that
  // offer. Without it the card is the offline route, and its copy is taken
  // on its signature alone.
  const Status started = LaunchSetupFile("SD card copy", [offerKnown] {
    Status why;
    return !offerKnown || IsSetupFileAsRecorded(&why) ? Status::Ok() : why;
  });
  return AfterLaunch("SD card copy (deleted)", started);
}

CReroZadezHelper::StageEnd CReroZadezHelper::AfterLaunch(const char* source,
                                                         const Status& started) {
  if (started.ok()) {
    return StageEnd::kEnded;
  }
  // Another program's hold would meet the download too, and a layout that
  // cannot be written would fail for every source: the run ends here.
  if (IsFileInUse(started) || IsLayoutFailure(started)) {
    EndWithFailure(started);
    return StageEnd::kEnded;
  }
  LogStatus(source, started);
  return StageEnd::kGoOn;
}

int CReroZadezHelper::RunDownloadPhase() {
  int launchAttempts = 0;
  for (;;) {
    if (StopChecked()) {
      return 1;
    }
    const RouteResult route = DownloadSetupFile(this);
    switch (route.outcome) {
      case kDownloadStopped:
      case kDownloadedSetupStarted:
        return 0;
      case kDownloadFailed:
        EndWithFailure(route.status);
        return 0;
      case kDownloadedSetupNotStarted:
        if (++launchAttempts < kLaunchAttempts) {
          continue;
        }
        LogLine("the downloaded setup did not start %d times", kLaunchAttempts);
        EndWithFailure(route.status);
        return 0;
      case kInstalledSuiteCurrent:
        StartInstalledSuite();
        Notify(NotifyRunFinished);
        return 0;
    }
  }
}

void CReroZadezHelper::StartInstalledSuite() {
  std::string version;
  std::wstring installDir;
  if (!GetSetupSettings()->IsSuiteInstalled(version, installDir)) {
    return;
  }
  const std::wstring program = FindSuiteProgram(installDir);
  if (program.empty()) {
    return;
  }
  LogLine("starting the installed suite %s", version.c_str());
  const Status started = GetProcessUtil()->RunProgram(installDir, program, L"", false, true);
  if (!started.ok()) {
    LogStatus("installed suite", started);
  }
}

void CReroZadezHelper::EndWithFailure(const Status& status) {
  const FailureKind kind = ClassifyFailure(status);
  LogStatus("setup run", status);
  LogLine("the window shows the failure: %s", FailureKindName(kind));
  // The user can act on a failed run (Retry); a silent end would leave the
  // window on its last status.
  Notify(NotifyDownloadFailed, static_cast<int>(kind));
}

Status CReroZadezHelper::LaunchSetupFile(const char* source,
                                         const std::function<Status()>& contentCheck) {
  const std::wstring setupPath = GetSetupSettings()->GetSetupFilePath();
  const Status used = UseSetupFile(source, setupPath, contentCheck, offeredVersion, "offered");
  // Another program's file is left to it, and a verified file whose layout
  // failed is kept; anything else that failed the gate is not used again.
  if (!used.ok() && !IsFileInUse(used) && !IsLayoutFailure(used)) {
    DeleteFileW(setupPath.c_str());
  }
  return used;
}

Status CReroZadezHelper::UseSetupFile(const char* source, const std::wstring& path,
                                      const std::function<Status()>& contentCheck,
                                      const std::string& wanted, const char* wantedFrom) {
  const SetupSettings* settings = GetSetupSettings();
  const bool forLayout = !settings->layoutFolder.empty();
  const SetupVersionRule rule = BuildSetupVersionRule(wanted, wantedFrom, forLayout);
  LogLine("setup file from the %s: verifying it %s", source,
          forLayout ? "for the layout" : "before the start");
  // Unattended, the setup's own silent install is awaited, and its exit
  // code becomes the program's.
  const bool awaited = settings->IsUnattended();
  unsigned long exitCode = 0;
  const Status used = UseVerifiedFile("setup", path, contentCheck, [&]() {
    // After the signature, on the same held file: the version resource is
    // then the publisher's word for what the file is.
    std::string version;
    const Status judged = CheckSetupVersion(path, rule, &version);
    if (!judged.ok())
      return judged;
    if (forLayout)
      return WriteLayout(path, settings->layoutFolder, version);
    Notify(NotifyLaunchingSetup);
    return GetProcessUtil()->RunProgram(GetSysUtil()->GetTempWorkFolder(), path,
                                        settings->SetupParameters(), awaited, true, &exitCode);
  });
  if (!used.ok())
    return used;
  if (forLayout) {
    Notify(NotifyRunFinished);
    return used;
  }
  setupExitCode = awaited ? exitCode : 0;
  Pause(kStagePause);
  Notify(NotifySetupLaunched);
  return used;
}

unsigned __stdcall WorkerThreadProc(void* worker) {
  if (worker != nullptr) {
    static_cast<CReroZadezHelper*>(worker)->Run();
  }
  return 0;
}

}  // namespace rerozadez
