// Stand-in for the outside programs the installer starts (driver installer,
// full setup, installed suite). Each start appends one UTF-8 line to a log:
//   <image name> TAB <arguments> TAB <current folder> TAB <show command>
// The log is %QUILL_STAND_IN_LOG% when set (one log keeps the order of starts
// across several stand-ins), else <own path>.log. Files beside the program
// choose its behaviour: <own path>.sleepms (run that long first) and
// <own path>.exitcode (the exit code, default 0).
#include <windows.h>

#include <string>
#include <vector>

namespace {

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) {
    return std::string();
  }
  int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string result(length, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &result[0], length, nullptr, nullptr);
  result.resize(length - 1);
  return result;
}

int ReadNumberFile(const std::wstring& path, int fallback) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return fallback;
  }
  char text[32] = {};
  DWORD read = 0;
  ReadFile(file, text, sizeof(text) - 1, &read, nullptr);
  CloseHandle(file);
  return atoi(text);
}

// The command line without the program's own name.
std::wstring Arguments() {
  const wchar_t* line = GetCommandLineW();
  if (*line == L'"') {
    ++line;
    while (*line != L'\0' && *line != L'"') {
      ++line;
    }
    if (*line == L'"') {
      ++line;
    }
  } else {
    while (*line != L'\0' && *line != L' ' && *line != L'\t') {
      ++line;
    }
  }
  while (*line == L' ' || *line == L'\t') {
    ++line;
  }
  return line;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring selfPath = self;
  std::wstring name = selfPath.substr(selfPath.rfind(L'\\') + 1);

  wchar_t folder[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, folder);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  GetStartupInfoW(&startup);
  int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;

  std::wstring line =
      name + L"\t" + Arguments() + L"\t" + folder + L"\t" + std::to_wstring(show) + L"\n";
  std::string bytes = ToUtf8(line);

  std::vector<wchar_t> logPath(MAX_PATH, L'\0');
  std::wstring log = GetEnvironmentVariableW(L"QUILL_STAND_IN_LOG", logPath.data(), MAX_PATH) > 0
                         ? logPath.data()
                         : selfPath + L".log";
  // Appending writes land whole at the end even when stand-ins log at once.
  HANDLE file = CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
  }

  Sleep(static_cast<DWORD>(ReadNumberFile(selfPath + L".sleepms", 0)));
  return ReadNumberFile(selfPath + L".exitcode", 0);
}
