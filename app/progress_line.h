#pragma once

// The line under the status while the setup downloads: how far, how fast,
// how long still ("12.3 MB of 48.0 MB, 2.1 MB/s, about 20 s left").

#include <cstdint>
#include <string>

#include "workflow/download_meter.h"

namespace rerozadezGUI {

// A language's patterns for the line; %1 and %2 stand for the figures.
struct ProgressTexts {
  std::wstring ofTotal;   // "      %1 of %2"
  std::wstring soFar;     // "      %1" (the size on offer unknown)
  std::wstring resumed;   // " (resumed)"
  std::wstring speed;     // ", %1/s"
  std::wstring timeLeft;  // ", about %1 left"
  std::wstring waiting;   // ", waiting for the server..."
  std::wstring seconds;   // "%1 s"
  std::wstring minutes;   // "%1 min %2 s"
  std::wstring hours;     // "%1 h %2 min"
};

// The patterns of the window's language, from its string table.
ProgressTexts LoadProgressTexts();

// pattern with %1 and %2 replaced (each where it stands, once or more).
std::wstring FillMarks(const std::wstring& pattern, const std::wstring& first,
                       const std::wstring& second = std::wstring());

// "512 B", "12.3 KB", "48.0 MB", "1.5 GB" (units of 1024, one decimal).
std::wstring FormatSize(uint64_t bytes);

// A time still to go, rounded up: "45 s" below a minute, minutes and
// seconds in tens below an hour ("3 min 10 s"), then hours and minutes.
std::wstring FormatDuration(uint64_t seconds, const ProgressTexts& texts);

// The line for figures; empty while no download is under way.
std::wstring FormatProgressLine(const rerozadez::DownloadFigures& figures,
                                const ProgressTexts& texts);

}  // namespace rerozadezGUI
