// Stand-in for a program that runs until it is ended (a bridge tool or a
// setup left running). Gives up by itself after two minutes so that a failed
// test leaves nothing behind for long.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  Sleep(120 * 1000);
  return 0;
}
