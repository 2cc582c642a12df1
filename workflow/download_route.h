#pragma once

#include <string>

#include "platform/scoped.h"
#include "workflow/worker.h"

namespace rerozadez {

// Asks the program's package service (PackageServiceBaseUrl) which full
// setup to fetch for the configured channel: QueryPackageInfo with the
// program's settings.
bool QueryConfiguredPackage(std::string& verName, std::string& downloadUrl, std::string& size,
                            std::string& fpmd5);

// Queries the package service and downloads the full setup into the setup
// file, resuming whatever it holds, until the file is complete and its
// digest matches. True then, with verifiedFile holding the setup file (see
// HoldSetupFile) from before its digest was checked; true also, with
// verifiedFile left invalid, when the installed suite is known to be current
// and its program exists (the setup file is removed: nothing to fetch).
// False when the route failed (after NotifyDownloadFailed) or was stopped.
// After a resumed pass whose body stayed silent, the next pass (once per
// route) asks from the first byte and appends only what the file lacks.
bool DownloadSetupFile(CReroZadezHelper* worker, ScopedHandle* verifiedFile);

// The installed suite's program, installDir\Quillnest.exe, when that file
// exists; empty otherwise.
std::wstring FindSuiteProgram(const std::wstring& installDir);

}  // namespace rerozadez
