// The demo's driver installer: shows its progress for a moment and exits 0.
#include <windows.h>

#include "tools/demo/demo_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR arguments, int) {
  demo::LogDemoEvent(std::wstring(L"driver installer started with \"") + arguments + L"\"");
  demo::ShowProgressWindow(instance, L"Travik USB driver (demo)",
                           L"\u6b63\u5728\u5b89\u88c5\u624b\u673a\u9a71\u52a8\u7a0b\u5e8f...",
                           1500);
  demo::LogDemoEvent(L"driver installed");
  return 0;
}
