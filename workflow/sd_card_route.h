#pragma once

#include <string>

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

}  // namespace rerozadez
