#include "workflow/sd_card_route.h"

#include <windows.h>

#include "platform/diagnostic_log.h"
#include "platform/process_util.h"
#include "platform/system_info.h"
#include "settings/setup_settings.h"
#include "settings/sys_util.h"

namespace rerozadez {
namespace {

const wchar_t kDefaultPullParameters[] = L" pull /sdcard/Tools/Quillnest_setup.exe ";

}  // namespace

std::wstring BuildPullParameters(const std::wstring& remotePath, const std::wstring& localPath) {
  // The remote path goes unquoted: the phone's paths are the tool's business.
  std::wstring parameters =
      remotePath.empty() ? kDefaultPullParameters : L" pull " + remotePath + L" ";
  return parameters + L"\"" + localPath + L"\"";
}

bool FetchFromSdCard(CReroZadezHelper* worker) {
  SetupSettings* settings = GetSetupSettings();
  std::wstring setupPath = settings->GetSetupFilePath();
  std::wstring stagingPath = settings->GetBackupSetupFilePath();
  std::wstring parameters = BuildPullParameters(settings->setupBigPackage, stagingPath);

  // Only a file this pull produces may replace the setup file.
  DeleteFileW(stagingPath.c_str());
  worker->Notify(NotifyReadingSdCard);
  const Status pulled = GetProcessUtil()->RunProgram(
      GetSysUtil()->GetTempWorkFolder(), settings->bridgeToolPath, parameters, true, false);
  if (!pulled.ok()) {
    LogStatus("SD card pull", pulled);
    return false;
  }
  if (!PathExists(stagingPath)) {
    return false;
  }
  // A running copy of the setup would hold the file we are about to replace.
  GetProcessUtil()->KillProcessesByName(kSetupFileName);
  DeleteFileW(setupPath.c_str());
  if (!MoveFileW(stagingPath.c_str(), setupPath.c_str())) {
    LogStatus("SD card copy", Status::LastError(StatusStep::kCardMoveFile, LogText(setupPath)));
    return false;
  }
  return true;
}

}  // namespace rerozadez
