// Stands in for the media player: a program that only carries version
// information (chosen by the resource script it is built with).
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  return 0;
}
