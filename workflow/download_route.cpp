#include "workflow/download_route.h"

#include <windows.h>

#include "net/package_info.h"
#include "net/resumable_download.h"
#include "net/web_address.h"
#include "platform/diagnostic_log.h"
#include "platform/pause.h"
#include "platform/process_util.h"
#include "platform/system_info.h"
#include "settings/download_timeout.h"
#include "settings/service_address.h"
#include "settings/setup_settings.h"
#include "settings/sys_util.h"
#include "workflow/download_meter.h"
#include "workflow/resume_state.h"
#include "workflow/verified_start.h"
#include "workflow/version_compare.h"

namespace rerozadez {
namespace {

const int kPassLimit = 5;
const int kDigestBudget = 2;
const DWORD kPauseAfterIncompletePass = 100;

// The package on offer, as the service described it.
struct Offer {
  std::string verName;
  std::string downloadUrl;
  std::string size;
  std::string fpmd5;
};

// What the passes of one route work with.
struct PreparedDownload {
  WebAddress address;
  std::wstring setupPath;
  int64_t totalSize;
};

// Whether the next pass asks from the first byte: once per route, after a
// resumed pass whose reply came but whose body stayed silent. Caching
// proxies that fetch every file from its start (squid's range_offset_limit
// none) send a resumed range only once they hold the bytes before it, which
// on a slow line takes longer than any time-out, while from byte 0 they pass
// the file on as it comes. That pass fetches again what the file holds and
// keeps it, so a single stall on an ordinary network costs those bytes once
// and never the partial file; only once, because on an ordinary network a
// second stall says the line, not the proxy, is the trouble.
bool NextPassFromFirstByte(const Status& pass, uint64_t startOffset, bool* tried) {
  if (pass.step != StatusStep::kDownloadSilentReply || startOffset == 0 || *tried)
    return false;
  *tried = true;
  LogLine("download route: the resumed reply sent nothing; the next pass asks from byte 0");
  return true;
}

// A pass that could not open or write the setup file (a full disk, denied
// access, another program's hold): every further pass would meet the same
// wall, each asking for the rest of the file again. What the file holds and
// the resume record stay, so a Retry once there is room resumes from there.
bool IsFileUnwritable(const Status& pass) {
  return pass.step == StatusStep::kDownloadOpenFile || pass.step == StatusStep::kDownloadWriteFile;
}

// True when the installed suite is as new as the offer and can be started:
// nothing to fetch. A suite whose program is gone is repaired by the setup.
bool IsInstalledSuiteCurrentFor(const Offer& offer) {
  std::string installedVersion;
  std::wstring installDir;
  if (!GetSetupSettings()->IsSuiteInstalled(installedVersion, installDir) ||
      !IsInstalledSuiteCurrent(offer.verName, installedVersion) ||
      FindSuiteProgram(installDir).empty()) {
    return false;
  }
  LogLine("download route: installed version %s is current, nothing to fetch",
          installedVersion.c_str());
  return true;
}

// Records the offer as the resume record and readies the passes: the
// address checked once, a running setup ended so that it does not hold the
// file about to be extended.
Status PrepareDownload(const Offer& offer, PreparedDownload* download) {
  Status status = StoreResumeRecord(offer.size, offer.fpmd5);
  if (!status.ok())
    return status;
  // The service's reply is JSON, whose texts are UTF-8: non-ASCII characters
  // of the address travel escaped, never through the ANSI code page.
  const std::wstring url = GetSysUtil()->AnsiToWide(EscapeNonAsciiInUrl(offer.downloadUrl).c_str());
  if (!ParseWebAddress(url, &download->address))
    return Status::Failed(StatusStep::kDownloadAddress, offer.downloadUrl);
  download->setupPath = GetSetupSettings()->GetSetupFilePath();
  if (PathExists(download->setupPath))
    GetProcessUtil()->KillProcessesByName(kSetupFileName);
  download->totalSize = ParseSizeText(GetSysUtil()->AnsiToWide(offer.size.c_str()));
  return Status::Ok();
}

// The content check of a downloaded file: the recorded digest.
Status RecordedDigestCheck() {
  Status why;
  return IsDigestMatching(&why) ? Status::Ok() : why;
}

// The passes of the download loop: each appends what the server sends, a
// complete file is started through the gate.
RouteResult RunDownloadPasses(CReroZadezHelper* worker, const PreparedDownload& download) {
  // The worker's flag stops a transfer between reads; each read reports.
  DownloadControl control;
  control.shouldStop = [worker] { return worker->stopRequested.load(); };
  control.progress = [worker](int percent) { worker->Notify(NotifyProgress, percent); };
  control.bytesHeld = [](uint64_t held) { GetDownloadMeter()->Record(held, GetTickCount()); };
  control.receiveTimeoutMs = DownloadReceiveTimeoutMs(kDownloadReceiveTimeoutMs);
  bool fromFirstByteTried = false;
  Status lastPass;
  // Whatever the setup file holds is resumed, never discarded for being partial.
  int digestBudget = kDigestBudget;
  for (int pass = 0; pass < kPassLimit; ++pass) {
    if (worker->stopRequested)
      return {kDownloadStopped, Status::Ok()};
    uint64_t startOffset = 0;
    const Status passStatus = DownloadFile(control, download.address, download.setupPath,
                                           download.totalSize, &startOffset);
    control.fromFirstByte = NextPassFromFirstByte(passStatus, startOffset, &fromFirstByteTried);
    if (!IsDownloadComplete()) {
      LogLine("download route: pass %d left the setup file incomplete (%I64u bytes)", pass + 1,
              GetSysUtil()->GetFileLength(download.setupPath));
      if (IsFileUnwritable(passStatus)) {
        LogLine("download route: the setup file cannot be written, no further pass");
        return {kDownloadFailed, passStatus};
      }
      if (!passStatus.ok())
        LogStatus("download pass", passStatus);
      lastPass = passStatus;
      Pause(kPauseAfterIncompletePass);
      continue;
    }
    const Status started = worker->LaunchSetupFile("download", RecordedDigestCheck);
    if (started.ok())
      return {kDownloadedSetupStarted, Status::Ok()};
    if (!IsFileRefused(started)) {
      const DownloadOutcome outcome =
          started.step == StatusStep::kStartProgram ? kDownloadedSetupNotStarted : kDownloadFailed;
      return {outcome, started};
    }
    // The file is gone; it is fetched again while the budget lasts, with a
    // fresh allowance of passes (this one counted as the first).
    LogStatus("downloaded setup", started);
    if (--digestBudget <= 0) {
      LogLine("download route: gives up after %d refused files", kDigestBudget);
      return {kDownloadFailed, started};
    }
    worker->Notify(NotifyChecksumMismatch);
    pass = 0;
  }
  LogLine("download route: gives up after %d incomplete passes", kPassLimit);
  if (lastPass.ok())
    lastPass = Status::Failed(StatusStep::kRouteIncompletePasses, LogText(download.setupPath));
  return {kDownloadFailed, lastPass};
}

}  // namespace

Status QueryConfiguredPackage(std::string& verName, std::string& downloadUrl, std::string& size,
                              std::string& fpmd5) {
  const std::string channel = GetSysUtil()->WideToAnsi(GetSetupSettings()->channel.c_str());
  const Status queried =
      QueryPackageInfo(PackageServiceBaseUrl(), channel, verName, downloadUrl, size, fpmd5);
  // The setup's own file version must equal the offer's: an offer that is
  // not four numbers could match no file, and nothing is fetched for it.
  if (queried.ok() && !IsPlainVersion(verName))
    return Status::Failed(StatusStep::kReplyVersion, "not a version: " + verName);
  return queried;
}

std::wstring FindSuiteProgram(const std::wstring& installDir) {
  std::wstring program = installDir + L"\\Quillnest.exe";
  DWORD attributes = GetFileAttributesW(program.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return std::wstring();
  }
  return program;
}

RouteResult DownloadSetupFile(CReroZadezHelper* worker) {
  Offer offer;
  Status status = QueryConfiguredPackage(offer.verName, offer.downloadUrl, offer.size, offer.fpmd5);
  if (!status.ok())
    return {kDownloadFailed, status};
  LogLine("download route: offered version %s at %s, size %s, digest %s", offer.verName.c_str(),
          offer.downloadUrl.c_str(), offer.size.c_str(), offer.fpmd5.c_str());
  worker->offeredVersion = offer.verName;
  // A layout is for other PCs: this one's suite does not make it current.
  if (GetSetupSettings()->layoutFolder.empty() && IsInstalledSuiteCurrentFor(offer)) {
    DeleteFileW(GetSetupSettings()->GetSetupFilePath().c_str());
    return {kInstalledSuiteCurrent, Status::Ok()};
  }
  // Without a digest no download could pass its check: the reply is at
  // fault, and nothing is fetched only to be refused twice.
  if (offer.fpmd5.empty())
    return {kDownloadFailed, Status::Failed(StatusStep::kReplyDigest, "empty")};
  PreparedDownload download;
  status = PrepareDownload(offer, &download);
  if (!status.ok())
    return {kDownloadFailed, status};
  // The window's progress line counts from what the file already holds.
  DownloadMeter* meter = GetDownloadMeter();
  meter->Begin(GetSysUtil()->GetFileLength(download.setupPath),
               download.totalSize > 0 ? static_cast<uint64_t>(download.totalSize) : 0,
               GetTickCount());
  const RouteResult result = RunDownloadPasses(worker, download);
  meter->End();
  return result;
}

}  // namespace rerozadez
