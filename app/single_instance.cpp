// Raising the window of the copy of this program that is already running.
#include "app/single_instance.h"

#include <windows.h>

#include <vector>

#include "platform/process_snapshot.h"

namespace rerozadezGUI {
namespace {

// Raises the first visible window of the process given in processId.
BOOL CALLBACK RaiseFirstVisibleWindow(HWND window, LPARAM processId) {
  if (processId == 0) {
    return FALSE;
  }
  DWORD owner = 0;
  const DWORD ownerThread = GetWindowThreadProcessId(window, &owner);
  if (owner != static_cast<DWORD>(processId) || !IsWindowVisible(window)) {
    return TRUE;
  }
  ShowWindow(window, SW_SHOWDEFAULT);
  // Attached to the window's thread, this thread may reorder its windows
  // even though it is not the foreground process.
  const DWORD thisThread = GetCurrentThreadId();
  const bool attached =
      ownerThread != thisThread && AttachThreadInput(thisThread, ownerThread, TRUE) != FALSE;
  SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  BringWindowToTop(window);
  if (attached) {
    AttachThreadInput(thisThread, ownerThread, FALSE);
  }
  return FALSE;
}

}  // namespace

std::wstring FileNameAfterLastBackslash(const std::wstring& path) {
  const size_t slash = path.rfind(L'\\');
  return slash == std::wstring::npos ? std::wstring() : path.substr(slash + 1);
}

void ActivateRunningInstance() {
  wchar_t path[1024] = L"";
  const DWORD length = GetModuleFileNameW(nullptr, path, 1024);
  const std::wstring name =
      FileNameAfterLastBackslash(std::wstring(path, length < 1024 ? length : 1023));
  std::vector<rerozadez::ProcessEntry> processes;
  if (name.empty() || !rerozadez::TakeProcessSnapshot(&processes)) {
    return;
  }
  for (const rerozadez::ProcessEntry& process : processes) {
    if (lstrcmpiW(process.imageName.c_str(), name.c_str()) == 0) {
      EnumChildWindows(GetDesktopWindow(), RaiseFirstVisibleWindow,
                       static_cast<LPARAM>(process.link.id));
    }
  }
}

}  // namespace rerozadezGUI
