// Raising the window of the copy of this program that is already running.
#include "app/single_instance.h"

#include <windows.h>

#include <tlhelp32.h>

#include "app/wnd_helper.h"
#include "settings/scoped_handle.h"

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
  rerozadez::ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  wchar_t path[1024] = L"";
  const DWORD length = GetModuleFileNameW(nullptr, path, 1024);
  const std::wstring name =
      FileNameAfterLastBackslash(std::wstring(path, length < 1024 ? length : 1023));
  if (name.empty() || !snapshot.IsValid()) {
    return;
  }
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
       more = Process32NextW(snapshot.Get(), &entry)) {
    if (lstrcmpiW(entry.szExeFile, name.c_str()) == 0) {
      EnumChildWindows(GetDesktopWindow(), RaiseFirstVisibleWindow,
                       static_cast<LPARAM>(entry.th32ProcessID));
    }
  }
}

}  // namespace rerozadezGUI
