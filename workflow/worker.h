#pragma once

// The worker object and its setup run.
//
// Names the program keeps from its first release (stored values, window
// classes and the support team's vocabulary rely on them):
//   rerozadez          the installer's namespace and its working folders'
//                      last level (<temp>\Travik\rerozadez)
//   CReroZadezHelper   the worker: the one object a setup run is carried by
//   CReroZadezHelperNormal  its base, which adds nothing but a virtual
//                      destructor
//   VeziDazedera       the registry key of the download's resume record
//   FPMD5, fpmd5       the full package's MD5 digest, as the service names it
//   downLoadSize       the full package's size in the resume record

#include <atomic>
#include <functional>
#include <string>

#include "workflow/verified_start.h"

namespace rerozadez {

// What a run reports to the window. The value is 0 for every type but
// NotifyProgress, which carries the download's percentage, and
// NotifyDownloadFailed, which carries the FailureKind (workflow/run_failure.h).
// Types above NotifyRunFinished are never sent; a receiver ignores them.
enum SetupNotifyType {
  NotifyRunStarted = 0,         // a full run begins
  NotifyFetchStage = 1,         // a full run passed its first pause
  NotifyInstallingDriver = 2,   // the driver installer is about to run
  NotifyReadingSdCard = 3,      // the full setup is about to be pulled from the SD card
  NotifyDownloadStarted = 4,    // the download phase of a full run begins
  NotifyDownloadRestarted = 5,  // a retry run begins with the download phase
  NotifyDownloadFailed = 6,     // the run failed for good; value: the FailureKind
  NotifyChecksumMismatch = 7,   // a complete download had the wrong digest
  NotifyProgress = 8,           // value: percent of the current transfer
  NotifyLaunchingSetup = 9,     // the full setup is about to be started
  NotifySetupLaunched = 10,     // the full setup was started; the window closes
  NotifyRunFinished = 11,       // the run ended with nothing to start; the window closes
};

// Receives every notification, on the thread that sends it (the worker's).
typedef void (*SetupNotifyCallback)(int type, int value, void* context);

class CReroZadezHelperNormal {
 public:
  virtual ~CReroZadezHelperNormal() {}
};

// The one object a setup run is carried by. The window starts and stops runs
// through its flags; the run and the downloader poll stopRequested and report
// through notify. Each flag is written by one thread and read by the other;
// atomics keep those reads and writes whole and visible without a lock.
class CReroZadezHelper : public CReroZadezHelperNormal {
 public:
  CReroZadezHelper();

  // Calls notify(type, value, notifyContext) when a callback is set; without
  // one the notification is dropped. Every sender goes through here.
  void Notify(int type, int value = 0) const;

  // One whole setup run on the calling thread: driver installer, then the
  // full setup from a verified earlier copy, the SD card or the download,
  // then its start. 1 when it ended at a stop check, else 0 (also when a run
  // is already in progress, which it leaves alone). A run that fails logs
  // its cause and sends NotifyDownloadFailed with the failure's kind. The
  // run does not clear stopRequested: whoever starts it does, so a stop
  // asked before the run began ends it at once.
  int Run();

  // Starts the setup file through the start gate (UseVerifiedFile) with
  // contentCheck (the caller's size and digest rules) and the version rule
  // (this run's offer, when there is one), in the temporary working folder,
  // with NotifyLaunchingSetup before the start and NotifySetupLaunched after
  // its pause. A setup file that did not start is deleted, unless another
  // program held it. source names where it came from in the log. Ok when
  // started, else the gate's cause.
  // In a layout run (/layout) the verified file is copied into the layout
  // folder instead, and NotifyRunFinished follows. In an unattended run the
  // setup is awaited and its exit code kept in setupExitCode.
  Status LaunchSetupFile(const char* source, const std::function<Status()>& contentCheck);

  std::atomic<bool> running;                 // while a run is in progress
  std::atomic<bool> stopRequested;           // asks the run to stop; set until a start clears it
  std::atomic<bool> retryMode;               // a retry run: the download phase only
  SetupNotifyCallback notify;                // set once by the window before any run
  std::atomic<unsigned long> setupExitCode;  // the awaited setup's, else 0
  std::string offeredVersion;                // this run's offer, if any; the run's thread only
  void* notifyContext;                       // handed back to notify unchanged

 private:
  // How a stage of the run ended: go on to the next, the run ended, or a
  // stop was asked.
  enum class StageEnd { kGoOn, kEnded, kStopped };

  // True, with a log line, when a stop was asked.
  bool StopChecked() const;
  // Runs the configured driver installer, awaited and hidden; its failure
  // is logged and the run goes on.
  void RunDriverInstaller();
  // Refreshes the resume record from the service; true when it answered.
  bool RefreshOffer();
  // The full run's sources before the download: the earlier copy, the card.
  StageEnd TryEarlierCopy();
  // The setup an offline layout left in the source folder, checked against
  // the offer when known, else the folder's manifest; started where it is.
  StageEnd TrySourceFolder(bool offerKnown);
  // LaunchSetupFile for a file at path, which it never deletes. Once its
  // signature passed, the file's version resource must be the suite's, at
  // or above the build's floor and the installed suite, and equal to wanted
  // when that is not empty (wantedFrom names whose version that is).
  Status UseSetupFile(const char* source, const std::wstring& path,
                      const std::function<Status()>& contentCheck, const std::string& wanted,
                      const char* wantedFrom);
  StageEnd TrySdCard(bool offerKnown);
  // How a source's launch ends its stage: started, a file in use (the run
  // fails), or refused (logged as source; the next source is tried).
  StageEnd AfterLaunch(const char* source, const Status& started);
  // The download phase until the run ends; Run's result.
  int RunDownloadPhase();
  // Starts the installed suite's program, when there is one.
  void StartInstalledSuite();
  // Logs the cause and tells the window the run failed, with its kind.
  void EndWithFailure(const Status& status);
};

// The one worker object, created on first use and never destroyed.
CReroZadezHelper* GetReroZadezHelper();

// Thread entry of a run, started with _beginthreadex and the worker object as
// argument; runs Run on it. A null argument does nothing.
unsigned __stdcall WorkerThreadProc(void* worker);

}  // namespace rerozadez
