#pragma once

#include <string>

#include "app/skin_layout.h"

namespace rerozadezGUI {

// The media player's official download page in the window's language, opened
// by the Open-page button: the two address lines of the details screen joined.
std::wstring MediaPlayerDownloadPage();

// True when a media player whose product version reads version (length
// characters, not necessarily terminated) is too old for MTP devices: the
// number before the first dot is below 11, or the text is too short or has
// no dot to tell.
bool IsMediaHintNeeded(const wchar_t* version, size_t length);

// <systemDrive>\Program Files\Windows Media Player\wmplayer.exe
std::wstring MediaPlayerPath(const std::wstring& systemDrive);

// Result of reading a program's Chinese (PRC) product version.
struct ProductVersion {
  bool hasVersionInfo;  // false: no file, no version block, or unreadable
  std::wstring text;    // "\StringFileInfo\080404b0\ProductVersion", or empty
};
ProductVersion ReadProductVersion(const std::wstring& path);

// What the check leaves behind: whether the program goes on, and on which
// screen (ScreenMain when no hint is needed).
struct MediaCheckOutcome {
  bool keepRunning;
  ScreenState screenState;
};
MediaCheckOutcome DecideMediaScreen(bool hintNeeded, bool overSea);

}  // namespace rerozadezGUI
