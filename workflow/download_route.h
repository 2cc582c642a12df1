#pragma once

#include <string>

#include "workflow/worker.h"

namespace rerozadez {

// Asks the program's package service (PackageServiceBaseUrl) which full
// setup to fetch for the configured channel: QueryPackageInfo with the
// program's settings.
bool QueryConfiguredPackage(std::string& verName, std::string& downloadUrl, std::string& size,
                            std::string& fpmd5);

// How a download route ended.
enum DownloadOutcome {
  kDownloadEnded,              // failed (after NotifyDownloadFailed) or stopped
  kDownloadedSetupStarted,     // complete, verified and started
  kDownloadedSetupNotStarted,  // complete and verified, but it did not start (deleted)
  kInstalledSuiteCurrent,      // the installed suite is as new as the offer: nothing fetched
};

// Queries the package service and downloads the full setup into the setup
// file, resuming whatever it holds, until the file is complete; then starts
// it through the worker's StartSetupFile with its digest as content check. A
// wrong digest or a refused signature deletes the file and fetches it again,
// once; the installed suite being current and its program present removes
// the setup file instead. After a resumed pass whose body stayed silent, the
// next pass (once per route) asks from the first byte and appends only what
// the file lacks.
DownloadOutcome DownloadSetupFile(CReroZadezHelper* worker);

// The installed suite's program, installDir\Quillnest.exe, when that file
// exists; empty otherwise.
std::wstring FindSuiteProgram(const std::wstring& installDir);

}  // namespace rerozadez
