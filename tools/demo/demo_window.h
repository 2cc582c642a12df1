#pragma once

#include <windows.h>

#include <string>

namespace demo {

// Shows a small window with a title, a line of text and a progress bar that
// fills over durationMs, then closes it. Returns when the window is gone.
void ShowProgressWindow(HINSTANCE instance, const std::wstring& title, const std::wstring& text,
                        DWORD durationMs);

// Appends "<program>: <what>" as a UTF-8 line to %QUILL_DEMO_LOG%, when set,
// so the demo can tell afterwards which programs ran.
void LogDemoEvent(const std::wstring& what);

}  // namespace demo
