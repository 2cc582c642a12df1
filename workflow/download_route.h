#pragma once

#include <string>

#include "workflow/worker.h"

namespace rerozadez {

// Asks the program's package service (PackageServiceBaseUrl) which full
// setup to fetch for the configured channel: QueryPackageInfo with the
// program's settings.
bool QueryConfiguredPackage(std::string& verName, std::string& downloadUrl, std::string& size,
                            std::string& fpmd5);

// Queries the package service and downloads the full setup into the setup
// file, resuming whatever it holds, until the file is complete and its
// digest matches. True then, and also when the installed suite is at least
// as new as the offered one (the setup file is removed: nothing to fetch).
// False when the route failed (after NotifyDownloadFailed) or was stopped.
bool DownloadSetupFile(CReroZadezHelper* worker);

}  // namespace rerozadez
