#pragma once

#include <string>

#include "platform/status.h"
#include "workflow/worker.h"

namespace rerozadez {

// Asks the program's package service (PackageServiceBaseUrl) which full
// setup to fetch for the configured channel: QueryPackageInfo with the
// program's settings. Ok with the four texts filled, or why not; a VerName that
// is not four numbers (a.b.c.d) is kReplyVersion.
Status QueryConfiguredPackage(std::string& verName, std::string& downloadUrl, std::string& size,
                              std::string& fpmd5);

// How a download route ended.
enum DownloadOutcome {
  kDownloadFailed,             // status says why; the run fails with it
  kDownloadStopped,            // a stop was asked
  kDownloadedSetupStarted,     // complete, verified and started
  kDownloadedSetupNotStarted,  // complete and verified, but it did not start (deleted)
  kInstalledSuiteCurrent,      // the installed suite is as new as the offer: nothing fetched
};

struct RouteResult {
  DownloadOutcome outcome;
  Status status;  // why, for kDownloadFailed and kDownloadedSetupNotStarted
};

// Queries the package service and downloads the full setup into the setup file,
// resuming whatever it holds, until the file is complete; then starts it
// through the worker's LaunchSetupFile with its digest as content check. A
// wrong digest or a refused signature deletes the file and fetches it again,
// once; a file another program holds ends the route with that cause, and so
// does a pass that could not open or write the setup file (a full disk, denied
// access), at once and keeping what the file holds; five passes in a row that
// leave the file incomplete end it with the last pass's cause
// (kRouteIncompletePasses when the passes themselves reported none). The
// installed suite being current and its program present removes the setup file
// instead. After a resumed pass whose body stayed silent, the next pass (once
// per route) asks from the first byte and appends only what the file lacks.
// Sends NotifyChecksumMismatch for a refused file fetched again; the caller
// tells the window of the end.
RouteResult DownloadSetupFile(CReroZadezHelper* worker);

// The installed suite's program, installDir\Quillnest.exe, when that file
// exists; empty otherwise.
std::wstring FindSuiteProgram(const std::wstring& installDir);

}  // namespace rerozadez
