#include "app/progress_line.h"

#include "resources/resource_ids.h"
#include "app/resource_util.h"
#include "platform/text_encoding.h"

namespace rerozadezGUI {

ProgressTexts LoadProgressTexts() {
  const rerozadez::ResourceUtil* strings = rerozadez::GetResourceUtil();
  ProgressTexts texts;
  texts.ofTotal = strings->LoadStringText(IDS_PROGRESS_OF_TOTAL);
  texts.soFar = strings->LoadStringText(IDS_PROGRESS_SO_FAR);
  texts.resumed = strings->LoadStringText(IDS_PROGRESS_RESUMED);
  texts.speed = strings->LoadStringText(IDS_PROGRESS_SPEED);
  texts.timeLeft = strings->LoadStringText(IDS_PROGRESS_TIME_LEFT);
  texts.waiting = strings->LoadStringText(IDS_PROGRESS_WAITING);
  texts.seconds = strings->LoadStringText(IDS_PROGRESS_SECONDS);
  texts.minutes = strings->LoadStringText(IDS_PROGRESS_MINUTES);
  texts.hours = strings->LoadStringText(IDS_PROGRESS_HOURS);
  return texts;
}

std::wstring FillMarks(const std::wstring& pattern, const std::wstring& first,
                       const std::wstring& second) {
  std::wstring text;
  for (size_t at = 0; at < pattern.size(); ++at) {
    if (pattern[at] == L'%' && at + 1 < pattern.size() &&
        (pattern[at + 1] == L'1' || pattern[at + 1] == L'2')) {
      text += pattern[++at] == L'1' ? first : second;
    } else {
      text += pattern[at];
    }
  }
  return text;
}

std::wstring FormatSize(uint64_t bytes) {
  if (bytes < 1024) {
    return rerozadez::DecimalText(bytes) + L" B";
  }
  const wchar_t* const units[] = {L"KB", L"MB", L"GB", L"TB"};
  // Tenths of the unit, in whole numbers: no floating-point formatting
  // (and its share of the C library) in the program for one decimal.
  uint64_t unitBytes = 1024;
  size_t unit = 0;
  uint64_t tenths = (bytes * 10 + unitBytes / 2) / unitBytes;
  // 1023.96 KB would read "1024.0 KB": the next unit reads better.
  while (tenths >= 10240 && unit + 1 < sizeof(units) / sizeof(units[0])) {
    unitBytes *= 1024;
    ++unit;
    tenths = (bytes / 1024 * 10 + (unitBytes / 1024) / 2) / (unitBytes / 1024);
  }
  return rerozadez::DecimalText(tenths / 10) + L"." + rerozadez::DecimalText(tenths % 10) + L" " + units[unit];
}

std::wstring FormatDuration(uint64_t seconds, const ProgressTexts& texts) {
  if (seconds < 60) {
    return FillMarks(texts.seconds, rerozadez::DecimalText(seconds == 0 ? 1 : seconds));
  }
  if (seconds < 3600) {
    const uint64_t tens = (seconds + 9) / 10 * 10;  // up to the next ten seconds
    if (tens < 3600) {
      return FillMarks(texts.minutes, rerozadez::DecimalText(tens / 60), rerozadez::DecimalText(tens % 60));
    }
  }
  const uint64_t minutes = (seconds + 59) / 60;
  return FillMarks(texts.hours, rerozadez::DecimalText(minutes / 60), rerozadez::DecimalText(minutes % 60));
}

std::wstring FormatProgressLine(const rerozadez::DownloadFigures& figures,
                                const ProgressTexts& texts) {
  if (!figures.active) {
    return std::wstring();
  }
  std::wstring line = figures.total > 0 ? FillMarks(texts.ofTotal, FormatSize(figures.held),
                                                    FormatSize(figures.total))
                                        : FillMarks(texts.soFar, FormatSize(figures.held));
  if (figures.resumedFrom > 0) {
    line += texts.resumed;
  }
  if (figures.waiting) {
    return line + texts.waiting;
  }
  if (figures.bytesPerSecond < 1.0) {
    return line;  // not measured yet
  }
  line += FillMarks(texts.speed, FormatSize(static_cast<uint64_t>(figures.bytesPerSecond)));
  if (figures.total > figures.held) {
    // Whole seconds, rounded up.
    const uint64_t speed = static_cast<uint64_t>(figures.bytesPerSecond);
    const uint64_t left = (figures.total - figures.held + speed - 1) / speed;
    line += FillMarks(texts.timeLeft, FormatDuration(left, texts));
  }
  return line;
}

}  // namespace rerozadezGUI
