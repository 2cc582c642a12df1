// The demo's full setup of the companion suite: shows its progress, then
// "installs" the suite: Quillnest.exe (carried as resource 1) into
// %ProgramFiles%\Quillnest, and HKLM "SOFTWARE\Quillnest" "Version" and
// "InstallDir" in the 32-bit view, where the installer looks for them.
#include <windows.h>

#include <string>

#include "tools/demo/demo_window.h"

namespace {

const wchar_t kSuiteVersion[] = L"" QUILL_DEMO_SUITE_VERSION;

#ifdef _WIN64
const REGSAM kRegistryView = KEY_WOW64_32KEY;
#else
const REGSAM kRegistryView = 0;
#endif

bool WriteSuiteProgram(HINSTANCE instance, const std::wstring& path) {
  HRSRC resource = FindResourceW(instance, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(10));  // RCDATA
  if (resource == nullptr) {
    return false;
  }
  DWORD size = SizeofResource(instance, resource);
  const void* bytes = LockResource(LoadResource(instance, resource));
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE || bytes == nullptr) {
    return false;
  }
  DWORD written = 0;
  BOOL ok = WriteFile(file, bytes, size, &written, nullptr);
  CloseHandle(file);
  return ok && written == size;
}

bool RegisterSuite(const std::wstring& installDir) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quillnest", 0, nullptr, 0,
                      KEY_ALL_ACCESS | kRegistryView, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  std::wstring version = kSuiteVersion;
  bool ok =
      RegSetValueExW(key, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                     static_cast<DWORD>((version.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS &&
      RegSetValueExW(
          key, L"InstallDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(installDir.c_str()),
          static_cast<DWORD>((installDir.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  RegCloseKey(key);
  return ok;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR arguments, int) {
  demo::LogDemoEvent(std::wstring(L"full setup started with \"") + arguments + L"\"");
  // "/S" installs silently, as a deployment tool asks for.
  if (lstrcmpiW(arguments, L"/S") != 0) {
    demo::ShowProgressWindow(
      instance, L"Quillnest Setup (demo)",
      L"Quillnest "
      L"\u624b\u673a/"
      L"\u5e73\u677fPC\u5957\u4ef6\uff1a\u6b63\u5728\u5b89\u88c5\u914d\u5957\u8f6f\u4ef6...",
        3000);
  }

  wchar_t programFiles[MAX_PATH] = {};
  if (GetEnvironmentVariableW(L"ProgramFiles", programFiles, MAX_PATH) == 0) {
    lstrcpyW(programFiles, L"C:\\Program Files");
  }
  std::wstring installDir = std::wstring(programFiles) + L"\\Quillnest";
  CreateDirectoryW(installDir.c_str(), nullptr);
  if (!WriteSuiteProgram(instance, installDir + L"\\Quillnest.exe") || !RegisterSuite(installDir)) {
    demo::LogDemoEvent(L"full setup failed to install the suite");
    return 1;
  }
  demo::LogDemoEvent(L"suite installed in " + installDir + L", version " + kSuiteVersion);
  return 0;
}
