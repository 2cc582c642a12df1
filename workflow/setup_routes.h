#pragma once

#include <string>

#include "settings/scoped_handle.h"
#include "workflow/worker.h"

namespace rerozadez {

// The device-bridge tool's parameters for pulling remotePath (the built-in
// /sdcard/Tools/Quillnest_setup.exe when empty) into localPath: " pull ",
// the remote path unquoted, a space, the local path in double quotes.
std::wstring BuildPullParameters(const std::wstring& remotePath, const std::wstring& localPath);

// Pulls the full setup from the phone's SD card into the backup setup file
// (removing a stale one first) and, when the pull produced a file, moves it
// onto the setup file's name. True when a pulled file was moved in. Sends
// NotifyReadingSdCard before the pull.
bool FetchFromSdCard(CReroZadezHelper* worker);

// Queries the package service and downloads the full setup into the setup
// file, resuming whatever it holds, until the file is complete and its
// digest matches. True then, with verifiedFile holding the setup file (see
// HoldSetupFile) from before its digest was checked; true also, with
// verifiedFile left invalid, when the installed suite is known to be current
// and its program exists (the setup file is removed: nothing to fetch).
// False when the route failed (after NotifyDownloadFailed) or was stopped.
bool DownloadSetupFile(CReroZadezHelper* worker, ScopedHandle* verifiedFile);

// The installed suite's program, installDir\Quillnest.exe, when that file
// exists; empty otherwise.
std::wstring FindSuiteProgram(const std::wstring& installDir);

}  // namespace rerozadez
