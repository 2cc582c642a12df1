#include "app/media_player_check.h"

#include <windows.h>

#include <vector>

#include "app/resource_util.h"
#include "app/skin_layout.h"
#include "platform/file_version.h"
#include "resources/resource_ids.h"

namespace rerozadezGUI {

std::wstring MediaPlayerDownloadPage() {
  // The address lives in the string tables only, so the page opened is the
  // one the screen shows, in each language.
  return rerozadez::LoadTextOrEmpty(IDS_MEDIA_DETAIL_3) +
         rerozadez::LoadTextOrEmpty(IDS_MEDIA_DETAIL_4);
}

bool IsMediaHintNeeded(const wchar_t* version, size_t length) {
  if (version == nullptr || length < 3) {
    return true;
  }
  size_t dot = 0;
  while (dot < length && version[dot] != L'.') {
    ++dot;
  }
  if (dot == length) {
    return true;
  }
  if (dot > 2) {
    return false;
  }
  if (dot < 2) {
    return true;
  }
  // Two characters before the dot: 11 and above are new enough.
  return !(version[0] > L'1' || (version[0] == L'1' && version[1] >= L'1'));
}

std::wstring MediaPlayerPath(const std::wstring& systemDrive) {
  return systemDrive + L"\\Program Files\\Windows Media Player\\wmplayer.exe";
}

ProductVersion ReadProductVersion(const std::wstring& path) {
  std::vector<BYTE> block;
  if (rerozadez::ReadVersionBlock(path, &block) != ERROR_SUCCESS) {
    return ProductVersion{false, std::wstring()};
  }
  return ProductVersion{
      true, rerozadez::VersionBlockText(block, L"\\StringFileInfo\\080404b0\\ProductVersion")};
}

MediaCheckOutcome DecideMediaScreen(bool hintNeeded, bool overSea) {
  if (!hintNeeded) {
    // With overSea the window exists only for this hint.
    return MediaCheckOutcome{!overSea, ScreenMain};
  }
  return MediaCheckOutcome{true, overSea ? ScreenMediaDetails : ScreenMediaHint};
}

}  // namespace rerozadezGUI
