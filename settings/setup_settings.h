#pragma once

#include <string>

namespace rerozadez {

// The process-wide configuration record. Written on the user-interface thread
// before any worker starts (configuration at start-up, bridgeToolPath at
// window creation) and only read afterwards, so it needs no lock.
class SetupSettings {
 public:
  SetupSettings();

  // Reads "SetupConfig.txt" beside the running executable into this record.
  // Always returns 0: a missing or unreadable file leaves every field at its
  // initial value except moduleDir, which is set first.
  int LoadSetupConfig();

  std::wstring setupBigPackage;  // path of the full setup on the phone
  std::wstring driverPath;       // moduleDir + "Driver", or empty if nothing is there
  std::wstring driverParams;
  std::wstring channel;
  int overSea;                  // 0 or 1
  int mediaPlayer;              // 0 or 1
  std::wstring bridgeToolPath;  // set by the bridge tool deployment
  std::wstring moduleDir;       // folder of the executable, with its closing backslash
};

// The one settings record, created on first use and never destroyed.
SetupSettings* GetSetupSettings();

}  // namespace rerozadez
