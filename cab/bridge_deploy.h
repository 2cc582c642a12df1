#pragma once

#include <windows.h>

#include "platform/status.h"

namespace rerozadez {

// Unpacks the device-bridge tool carried in module's "BIN" #176 cabinet into
// the temporary working folder (adb.exe, AdbWinApi.dll, AdbWinUsbApi.dll),
// after ending an earlier copy still running there (EndCarriedBridgeTool),
// which would hold its files. The cabinet is unpacked only when it is the
// one the build packed (size and MD5) with a sound header. Each tool file
// is then checked against the build's size and MD5 and held open against
// writers, renamers and deleters until the program ends. Ok when all three
// passed, with bridgeToolPath naming adb.exe (files an earlier start
// unpacked serve when this cabinet cannot be). Otherwise the first failure,
// already logged, with the file in its detail, and bridgeToolPath empty.
Status DeployBridgeTools(HINSTANCE module);

// Ends every process running the carried adb.exe from the temporary working
// folder (where DeployBridgeTools puts it), each with its descendants. Other
// programs named adb.exe are left alone.
void EndCarriedBridgeTool();

// Closes the handles DeployBridgeTools keeps on the tool files (the next
// deployment does so first).
void ReleaseBridgeTools();

}  // namespace rerozadez
