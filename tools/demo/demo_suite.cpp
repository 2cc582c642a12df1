// The demo's installed companion suite, "Quillnest.exe": a window that says
// so, closing by itself after a few seconds.
#include <windows.h>

#include "tools/demo/demo_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  demo::LogDemoEvent(L"companion suite started");
  demo::ShowProgressWindow(
      instance, L"Quillnest (demo)",
      L"Quillnest \u5957\u4ef6\u5df2\u5b89\u88c5\u5e76\u5728\u8fd0\u884c\u3002", 3000);
  return 0;
}
