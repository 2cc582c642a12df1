#include <windows.h>

#include "net/package_info.h"
#include "net/resumable_download.h"
#include "settings/pause.h"
#include "settings/process_util.h"
#include "settings/setup_settings.h"
#include "settings/sys_util.h"
#include "workflow/resume_state.h"
#include "workflow/setup_routes.h"

namespace rerozadez {
namespace {

const int kPassLimit = 5;
const int kDigestBudget = 2;
const DWORD kPauseAfterIncompletePass = 100;
const wchar_t kSetupImageName[] = L"Quillnest_SetUp_mini.exe";

}  // namespace

bool DownloadSetupFile(CReroZadezHelper* worker) {
  std::string verName, downloadUrl, size, fpmd5;
  if (!QueryPackageInfo(verName, downloadUrl, size, fpmd5)) {
    worker->Notify(NotifyDownloadFailed);
    return false;
  }

  SetupSettings* settings = GetSetupSettings();
  std::wstring setupPath = settings->GetSetupFilePath();
  std::string installedVersion;
  std::wstring installDir;
  if (settings->IsSuiteInstalled(installedVersion, installDir) &&
      CompareVersion(verName, installedVersion) <= 0) {
    // The installed suite is as new as the offer: nothing to fetch.
    DeleteFileW(setupPath.c_str());
    return true;
  }

  StoreResumeRecord(size, fpmd5);
  std::wstring url = GetSysUtil()->AnsiToWide(downloadUrl.c_str());
  if (GetFileAttributesW(setupPath.c_str()) != INVALID_FILE_ATTRIBUTES) {
    GetProcessUtil()->KillProcessesByName(kSetupImageName);
  }
  int64_t totalSize = ParseSizeText(GetSysUtil()->AnsiToWide(size.c_str()));

  // Whatever the setup file holds is resumed, never discarded for being partial.
  int digestBudget = kDigestBudget;
  int pass = 0;
  while (pass < kPassLimit) {
    if (worker->stopRequested) {
      return false;
    }
    DownloadFile(worker, url, setupPath, totalSize, nullptr, nullptr);
    if (IsDownloadComplete()) {
      if (IsDigestMatching()) {
        return true;
      }
      DeleteFileW(setupPath.c_str());
      pass = 0;
      if (--digestBudget <= 0) {
        worker->Notify(NotifyDownloadFailed);
        return false;
      }
      worker->Notify(NotifyChecksumMismatch);
    } else {
      Pause(kPauseAfterIncompletePass);
      if (pass == kPassLimit - 1) {
        worker->Notify(NotifyDownloadFailed);
      }
    }
    ++pass;
  }
  return false;
}

}  // namespace rerozadez
