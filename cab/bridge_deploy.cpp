#include "cab/bridge_deploy.h"

#include <string>

#include "cab/cab_extract.h"
#include "platform/process_util.h"
#include "platform/scoped.h"
#include "platform/system_info.h"
#include "settings/setup_settings.h"
#include "settings/sys_util.h"

namespace rerozadez {
namespace {

// The cabinet resource carrying adb.exe, AdbWinApi.dll and AdbWinUsbApi.dll.
const wchar_t kBridgeCabinetType[] = L"BIN";
const WORD kBridgeCabinetId = 176;

// Writes the module's cabinet resource to path. Any failure writes nothing.
void WriteBridgeCabinet(HINSTANCE module, const std::wstring& path) {
  HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(kBridgeCabinetId), kBridgeCabinetType);
  if (resource == nullptr) {
    return;
  }
  DWORD size = SizeofResource(module, resource);
  if (size == 0) {
    return;
  }
  HGLOBAL loaded = LoadResource(module, resource);
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes == nullptr) {
    return;
  }
  ScopedHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) {
    return;
  }
  DWORD written = 0;
  WriteFile(file.Get(), bytes, size, &written, nullptr);
}

}  // namespace

bool DeployBridgeTools(HINSTANCE module) {
  // A bridge tool left running by an earlier start holds its files.
  GetProcessUtil()->KillProcessesByName(L"adb.exe");

  const std::wstring folder = GetSysUtil()->GetTempWorkFolder();
  const std::wstring cabinetPath = folder + L"\\res.cab";
  const std::wstring firstLibrary = folder + L"\\AdbWinApi.dll";
  const std::wstring secondLibrary = folder + L"\\AdbWinUsbApi.dll";
  // Set before anything is written, so the SD-card route finds the path
  // even after a failed deployment.
  GetSetupSettings()->bridgeToolPath = folder + L"\\adb.exe";

  WriteBridgeCabinet(module, cabinetPath);
  {
    cab::CCabExtract extractor;
    extractor.ExtractAll(cabinetPath, folder + L"\\");
  }

  return PathExists(GetSetupSettings()->bridgeToolPath) && PathExists(firstLibrary) &&
         PathExists(secondLibrary);
}

}  // namespace rerozadez
