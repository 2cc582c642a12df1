#include <gtest/gtest.h>
#include <windows.h>

#include "platform/diagnostic_log.h"
#include "platform/process_image.h"

namespace rerozadez {
namespace {

const std::wstring kShortTemp = L"C:\\DOCUME~1\\ANNALI~1\\LOCALS~1\\Temp";
const std::wstring kLongTemp = L"C:\\Documents and Settings\\Anna Lin\\Local Settings\\Temp";

// A machine whose %TEMP% has the short form Windows often gives it.
std::wstring TempInLongForm(const std::wstring& path) {
  return path.compare(0, kShortTemp.size(), kShortTemp) == 0
             ? kLongTemp + path.substr(kShortTemp.size())
             : path;
}

TEST(SameImagePath, ComparesBothSidesInLongFormIgnoringCase) {
  const std::wstring shortTool = kShortTemp + L"\\Travik\\rerozadez\\adb.exe";
  const std::wstring longTool = kLongTemp + L"\\Travik\\rerozadez\\adb.exe";
  const struct {
    std::wstring a;
    std::wstring b;
    bool same;
  } cases[] = {
      {L"C:\\Temp\\Travik\\adb.exe", L"c:\\TEMP\\travik\\ADB.EXE", true},
      {L"C:\\\u00dcbung\\\u0416\\adb.exe", L"C:\\\u00fcBUNG\\\u0436\\adb.exe", true},
      {shortTool, longTool, true},
      {longTool, shortTool, true},
      {L"C:\\Android\\platform-tools\\adb.exe", longTool, false},
      {kShortTemp + L"\\adb.exe", longTool, false},
      {longTool, longTool + L".exe", false},
      {L"D" + longTool.substr(1), longTool, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.same, SameImagePath(c.a, c.b, TempInLongForm))
        << LogText(c.a) << " against " << LogText(c.b);
  }
}

}  // namespace
}  // namespace rerozadez
