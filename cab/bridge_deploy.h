#pragma once

#include <windows.h>

namespace rerozadez {

// Unpacks the device-bridge tool carried in module's "BIN" #176 cabinet into
// the temporary working folder (adb.exe, AdbWinApi.dll, AdbWinUsbApi.dll),
// after ending running "adb.exe" processes. The cabinet is unpacked only
// when it is the one the build packed (size and MD5) with a sound header.
// Each tool file is then checked against the build's size and MD5 and held
// open against writers, renamers and deleters until the program ends. True
// when all three passed, with bridgeToolPath naming adb.exe; false, with
// bridgeToolPath empty, otherwise.
bool DeployBridgeTools(HINSTANCE module);

// Closes the handles DeployBridgeTools keeps on the tool files (the next
// deployment does so first).
void ReleaseBridgeTools();

}  // namespace rerozadez
