#include "app/progress_line.h"

#include <gtest/gtest.h>

namespace rerozadezGUI {
namespace {

// Patterns of no language, so that each piece of a line shows where it came
// from; the string tables' own texts are the resource tests' business.
const ProgressTexts kMarks = {L"[%1|%2]", L"[%1]", L"+R",     L" v=%1", L" t=%1",
                              L" W",      L"%1s",  L"%1m%2s", L"%1h%2m"};

TEST(ProgressLine, SizesAndTimesRoundAsPeopleReadThem) {
  const struct {
    uint64_t bytes;
    const wchar_t* text;
  } sizes[] = {{0, L"0 B"},
               {1023, L"1023 B"},
               {1024, L"1.0 KB"},
               {1048575, L"1.0 MB"},
               {12897485, L"12.3 MB"},
               {50331648, L"48.0 MB"},
               {1610612736, L"1.5 GB"}};
  for (const auto& each : sizes) {
    EXPECT_EQ(each.text, FormatSize(each.bytes)) << each.bytes;
  }
  const struct {
    uint64_t seconds;
    const wchar_t* text;
  } times[] = {{0, L"1s"},     {20, L"20s"},    {59, L"59s"},    {60, L"1m0s"},
               {61, L"1m10s"}, {3595, L"1h0m"}, {3601, L"1h1m"}, {90000, L"25h0m"}};
  for (const auto& each : times) {
    EXPECT_EQ(each.text, FormatDuration(each.seconds, kMarks)) << each.seconds;
  }
}

TEST(ProgressLine, SaysHowFarHowFastAndHowLong) {
  const uint64_t mb = 1024 * 1024;
  const struct {
    rerozadez::DownloadFigures figures;
    const wchar_t* line;
  } cases[] = {
      {{false, 5 * mb, 10 * mb, 0, 1e6, false}, L""},
      {{true, 0, 48 * mb, 0, 0, false}, L"[0 B|48.0 MB]"},  // not measured yet
      {{true, 12 * mb, 48 * mb, 0, 2.0 * mb, false}, L"[12.0 MB|48.0 MB] v=2.0 MB t=18s"},
      {{true, 12 * mb, 48 * mb, 4 * mb, 2.0 * mb, false}, L"[12.0 MB|48.0 MB]+R v=2.0 MB t=18s"},
      {{true, 12 * mb, 48 * mb, 0, 2.0 * mb, true}, L"[12.0 MB|48.0 MB] W"},
      {{true, 12 * mb, 0, 0, 2.0 * mb, false}, L"[12.0 MB] v=2.0 MB"},  // size unknown
      {{true, 48 * mb, 48 * mb, 0, 2.0 * mb, false}, L"[48.0 MB|48.0 MB] v=2.0 MB"},
  };
  for (const auto& each : cases) {
    EXPECT_EQ(each.line, FormatProgressLine(each.figures, kMarks)) << each.line;
  }
  EXPECT_EQ(L"a-b-a%3%", FillMarks(L"%1-%2-%1%3%", L"a", L"b"));
}

}  // namespace
}  // namespace rerozadezGUI
