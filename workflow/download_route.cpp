#include "workflow/download_route.h"

#include <windows.h>

#include "net/package_info.h"
#include "net/resumable_download.h"
#include "net/web_address.h"
#include "platform/diagnostic_log.h"
#include "platform/pause.h"
#include "platform/process_util.h"
#include "platform/status.h"
#include "platform/system_info.h"
#include "settings/download_timeout.h"
#include "settings/service_address.h"
#include "settings/setup_settings.h"
#include "settings/sys_util.h"
#include "workflow/resume_state.h"
#include "workflow/version_compare.h"

namespace rerozadez {
namespace {

const int kPassLimit = 5;
const int kDigestBudget = 2;
const DWORD kPauseAfterIncompletePass = 100;

// Whether the next pass asks from the first byte: once per route, after a
// resumed pass whose reply came but whose body stayed silent. Caching
// proxies that fetch every file from its start (squid's range_offset_limit
// none) send a resumed range only once they hold the bytes before it, which
// on a slow line takes longer than any time-out, while from byte 0 they pass
// the file on as it comes. That pass fetches again what the file holds and
// keeps it, so a single stall on an ordinary network costs those bytes once
// and never the partial file; only once, because on an ordinary network a
// second stall says the line, not the proxy, is the trouble.
bool NextPassFromFirstByte(const Status& status, uint64_t startOffset, bool* tried) {
  if (status.step != StatusStep::kDownloadSilentReply || startOffset == 0 || *tried)
    return false;
  *tried = true;
  LogLine("download route: the resumed reply sent nothing; the next pass asks from byte 0");
  return true;
}

}  // namespace

bool QueryConfiguredPackage(std::string& verName, std::string& downloadUrl, std::string& size,
                            std::string& fpmd5) {
  const std::string channel = GetSysUtil()->WideToAnsi(GetSetupSettings()->channel.c_str());
  const Status status =
      QueryPackageInfo(PackageServiceBaseUrl(), channel, verName, downloadUrl, size, fpmd5);
  if (!status.ok())
    LogStatus("package query", status);
  return status.ok();
}

std::wstring FindSuiteProgram(const std::wstring& installDir) {
  std::wstring program = installDir + L"\\Quillnest.exe";
  DWORD attributes = GetFileAttributesW(program.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return std::wstring();
  }
  return program;
}

DownloadOutcome DownloadSetupFile(CReroZadezHelper* worker) {
  std::string verName, downloadUrl, size, fpmd5;
  if (!QueryConfiguredPackage(verName, downloadUrl, size, fpmd5)) {
    LogLine("download route: the package service gave no usable answer");
    worker->Notify(NotifyDownloadFailed);
    return kDownloadEnded;
  }
  LogLine("download route: offered version %s at %s, size %s, digest %s", verName.c_str(),
          downloadUrl.c_str(), size.c_str(), fpmd5.c_str());

  SetupSettings* settings = GetSetupSettings();
  std::wstring setupPath = settings->GetSetupFilePath();
  std::string installedVersion;
  std::wstring installDir;
  if (settings->IsSuiteInstalled(installedVersion, installDir) &&
      IsInstalledSuiteCurrent(verName, installedVersion) && !FindSuiteProgram(installDir).empty()) {
    // The installed suite is as new as the offer and can be started: nothing
    // to fetch. A suite whose program is gone is repaired by the setup.
    LogLine("download route: installed version %s is current, nothing to fetch",
            installedVersion.c_str());
    DeleteFileW(setupPath.c_str());
    return kInstalledSuiteCurrent;
  }

  StoreResumeRecord(size, fpmd5);
  // The service's reply is JSON, whose texts are UTF-8: non-ASCII characters
  // of the address travel escaped, never through the ANSI code page.
  std::wstring url = GetSysUtil()->AnsiToWide(EscapeNonAsciiInUrl(downloadUrl).c_str());
  WebAddress address;
  const bool addressUsable = ParseWebAddress(url, &address);
  if (PathExists(setupPath)) {
    // A running copy of the setup would hold the file we are about to extend.
    GetProcessUtil()->KillProcessesByName(kSetupFileName);
  }
  int64_t totalSize = ParseSizeText(GetSysUtil()->AnsiToWide(size.c_str()));

  // The worker's flag stops a transfer between reads; each read reports.
  DownloadControl control;
  control.shouldStop = [worker] { return worker->stopRequested != 0; };
  control.progress = [worker](int percent) { worker->Notify(NotifyProgress, percent); };
  control.receiveTimeoutMs = DownloadReceiveTimeoutMs(kDownloadReceiveTimeoutMs);
  bool fromFirstByteTried = false;

  // Whatever the setup file holds is resumed, never discarded for being partial.
  int digestBudget = kDigestBudget;
  int pass = 0;
  while (pass < kPassLimit) {
    if (worker->stopRequested) {
      return kDownloadEnded;
    }
    uint64_t startOffset = 0;
    const Status status = addressUsable
                              ? DownloadFile(control, address, setupPath, totalSize, &startOffset)
                              : Status::Failed(StatusStep::kDownloadAddress, LogText(url));
    if (!status.ok())
      LogStatus("download pass", status);
    control.fromFirstByte = NextPassFromFirstByte(status, startOffset, &fromFirstByteTried);
    if (IsDownloadComplete()) {
      const StartOutcome outcome = worker->StartSetupFile("download", IsDigestMatching);
      if (outcome == kProgramStarted) {
        return kDownloadedSetupStarted;
      }
      if (outcome == kProgramNotStarted) {
        return kDownloadedSetupNotStarted;
      }
      // A wrong digest and a refused signature alike: the file is gone, and
      // it is fetched again while the budget lasts.
      pass = 0;
      if (--digestBudget <= 0) {
        LogLine("download route: gives up after %d refused files", kDigestBudget);
        worker->Notify(NotifyDownloadFailed);
        return kDownloadEnded;
      }
      worker->Notify(NotifyChecksumMismatch);
    } else {
      LogLine("download route: pass %d left the setup file incomplete (%I64u bytes)", pass + 1,
              GetSysUtil()->GetFileLength(setupPath));
      Pause(kPauseAfterIncompletePass);
      if (pass == kPassLimit - 1) {
        LogLine("download route: gives up after %d incomplete passes", kPassLimit);
        worker->Notify(NotifyDownloadFailed);
      }
    }
    ++pass;
  }
  return kDownloadEnded;
}

}  // namespace rerozadez
