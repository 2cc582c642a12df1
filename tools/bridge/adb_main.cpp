// The stand-in device-bridge tool that the default build carries in place of
// the real adb.exe. It knows the one command the installer runs,
// "pull <remote> <local>", and prints nothing: the installer runs it hidden
// and judges only whether the local file appeared.
#include <windows.h>

#include <shellapi.h>

#include "platform/text_encoding.h"
#include "tools/bridge/bridge_client.h"

extern "C" int AdbWinApiStandInVersion(void);

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Like the real tool, this one needs its library beside it.
  if (AdbWinApiStandInVersion() <= 0) {
    return bridge::kBadCommandLine;
  }
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments == nullptr) {
    return bridge::kBadCommandLine;
  }
  bridge::PullCommand command;
  bool parsed = bridge::ParsePullCommand(count - 1, arguments + 1, &command);
  LocalFree(arguments);
  if (!parsed) {
    return bridge::kBadCommandLine;
  }
  return bridge::Pull(rerozadez::WideToUtf8(command.remote.c_str()), command.local,
                      bridge::ServerPort(), bridge::kReceiveTimeoutMs);
}
