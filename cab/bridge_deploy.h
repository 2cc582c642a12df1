#pragma once

#include <windows.h>

namespace rerozadez {

// Unpacks the device-bridge tool carried in module's "BIN" #176 cabinet into
// the temporary working folder (adb.exe, AdbWinApi.dll, AdbWinUsbApi.dll),
// after ending running "adb.exe" processes, and records the tool's path in
// bridgeToolPath first. True when all three files exist afterwards.
bool DeployBridgeTools(HINSTANCE module);

}  // namespace rerozadez
