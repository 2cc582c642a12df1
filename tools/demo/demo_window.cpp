#include "tools/demo/demo_window.h"

#include <commctrl.h>

#include <vector>

namespace demo {
namespace {

const UINT_PTR kTimerId = 1;
const UINT kTickMs = 50;

struct WindowState {
  HWND progress;
  DWORD start;
  DWORD duration;
};

LRESULT CALLBACK DemoWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowState* state = reinterpret_cast<WindowState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_TIMER:
      if (state != nullptr) {
        DWORD elapsed = GetTickCount() - state->start;
        SendMessageW(state->progress, PBM_SETPOS,
                     elapsed >= state->duration ? 100 : elapsed * 100 / state->duration, 0);
        if (elapsed >= state->duration) {
          DestroyWindow(window);
        }
      }
      return 0;
    case WM_DESTROY:
      KillTimer(window, kTimerId);
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

void ShowProgressWindow(HINSTANCE instance, const std::wstring& title, const std::wstring& text,
                        DWORD durationMs) {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = DemoWindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = L"QuillnestDemoWindow";
  RegisterClassW(&windowClass);

  const int width = 420;
  const int height = 160;
  HWND window = CreateWindowExW(
      0, windowClass.lpszClassName, title.c_str(), WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
      (GetSystemMetrics(SM_CXSCREEN) - width) / 2, (GetSystemMetrics(SM_CYSCREEN) - height) / 2,
      width, height, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) {
    Sleep(durationMs);  // no display at all: still take the time a user would see
    return;
  }
  HWND label = CreateWindowExW(0, L"STATIC", text.c_str(), WS_CHILD | WS_VISIBLE, 20, 20, 370, 40,
                               window, nullptr, instance, nullptr);
  // The caption uses the system's font; the body a font with Chinese glyphs.
  HFONT font =
      CreateFontW(-14, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, L"Microsoft YaHei");
  SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  WindowState state = {};
  state.progress = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 20, 70, 370, 18,
                                   window, nullptr, instance, nullptr);
  state.start = GetTickCount();
  state.duration = durationMs == 0 ? 1 : durationMs;
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));
  ShowWindow(window, SW_SHOWNORMAL);
  SetTimer(window, kTimerId, kTickMs, nullptr);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  DeleteObject(font);
}

void LogDemoEvent(const std::wstring& what) {
  std::vector<wchar_t> path(MAX_PATH, L'\0');
  if (GetEnvironmentVariableW(L"QUILL_DEMO_LOG", path.data(), MAX_PATH) == 0) {
    return;
  }
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring name = self;
  name = name.substr(name.rfind(L'\\') + 1);
  std::wstring line = name + L": " + what + L"\n";
  int length = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string bytes(length > 0 ? length - 1 : 0, '\0');
  if (!bytes.empty()) {
    WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, &bytes[0], length, nullptr, nullptr);
  }
  HANDLE file = CreateFileW(path.data(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
  }
}

}  // namespace demo
