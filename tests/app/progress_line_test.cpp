#include "app/progress_line.h"

#include <gtest/gtest.h>

namespace rerozadezGUI {
namespace {

const ProgressTexts kEnglish = {L"%1 of %2",        L"%1",        L" (resumed)", L", %1/s",
                                L", about %1 left", L", waiting", L"%1 s",       L"%1 min %2 s",
                                L"%1 h %2 min"};

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
  } times[] = {{0, L"1 s"},          {20, L"20 s"},         {59, L"59 s"},
               {60, L"1 min 0 s"},   {61, L"1 min 10 s"},   {3595, L"1 h 0 min"},
               {3601, L"1 h 1 min"}, {90000, L"25 h 0 min"}};
  for (const auto& each : times) {
    EXPECT_EQ(each.text, FormatDuration(each.seconds, kEnglish)) << each.seconds;
  }
}

TEST(ProgressLine, SaysHowFarHowFastAndHowLong) {
  const uint64_t mb = 1024 * 1024;
  const struct {
    rerozadez::DownloadFigures figures;
    const wchar_t* line;
  } cases[] = {
      {{false, 5 * mb, 10 * mb, 0, 1e6, false}, L""},
      {{true, 0, 48 * mb, 0, 0, false}, L"0 B of 48.0 MB"},  // not measured yet
      {{true, 12 * mb, 48 * mb, 0, 2.0 * mb, false},
       L"12.0 MB of 48.0 MB, 2.0 MB/s, about 18 s left"},
      {{true, 12 * mb, 48 * mb, 4 * mb, 2.0 * mb, false},
       L"12.0 MB of 48.0 MB (resumed), 2.0 MB/s, about 18 s left"},
      {{true, 12 * mb, 48 * mb, 0, 2.0 * mb, true}, L"12.0 MB of 48.0 MB, waiting"},
      {{true, 12 * mb, 0, 0, 2.0 * mb, false}, L"12.0 MB, 2.0 MB/s"},  // size unknown
      {{true, 48 * mb, 48 * mb, 0, 2.0 * mb, false}, L"48.0 MB of 48.0 MB, 2.0 MB/s"},
  };
  for (const auto& each : cases) {
    EXPECT_EQ(each.line, FormatProgressLine(each.figures, kEnglish)) << each.line;
  }
  EXPECT_EQ(L"a-b-a%3%", FillMarks(L"%1-%2-%1%3%", L"a", L"b"));
}

}  // namespace
}  // namespace rerozadezGUI
