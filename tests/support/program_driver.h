#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace quilltest {

// What a wait of the tests allows a program to start, show a screen, reach a
// state or end: a minute, which costs nothing when all goes well and holds
// on a busy host.
const DWORD kDeadlineMs = 60000;

// Starts a program with parameters (appended to its quoted path as they
// are) in folder, or in the caller's folder when folder is empty; its
// process handle (the caller closes it), or null when it did not start.
HANDLE StartProgram(const std::wstring& exe, const std::wstring& folder,
                    const std::wstring& parameters = L"");

// The exit code once the process ended, or -1 when it still runs after
// timeoutMs.
int ExitCode(HANDLE process, DWORD timeoutMs);

// The visible top-level window of windowClass once its last button (Details)
// exists, or null after timeoutMs.
HWND WaitForWindowWithButtons(const std::wstring& windowClass, DWORD timeoutMs);

bool ButtonVisible(HWND window, int id);

// True once condition holds (asked every 20 ms), false when it still does
// not after timeoutMs: what a test waits for instead of sleeping.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs);

// Presses a button of a window as a user would, waiting up to 10 s for the
// window to handle it.
void PressButton(HWND window, int id);

// Ends a process that a test started, if it still runs, and closes its
// handle; a null handle is fine. The handle is null afterwards.
void EndProcess(HANDLE* process);

// A path that CMake wrote with forward slashes, with backslashes.
std::wstring Backslashed(std::wstring path);

}  // namespace quilltest
