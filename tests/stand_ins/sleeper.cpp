// Stand-in for a program that runs until it is ended (a bridge tool or a
// setup left running). Tests end it; should one fail to, it gives up by
// itself after 20 s, so that nothing it leaves behind outlives the next few
// tests (a stale process and its reused ids confuse later snapshots).
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  Sleep(20 * 1000);
  return 0;
}
