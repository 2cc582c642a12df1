#include "workflow/sd_card_route.h"

#include <gtest/gtest.h>

namespace rerozadez {
namespace {

TEST(PullParameters, RemotePathUnquotedLocalPathQuoted) {
  std::wstring local =
      L"C:\\Users\\u\\AppData\\Roaming\\Travik\\rerozadez\\Quillnest_SetUp_mini_backup.exe";
  EXPECT_EQ(BuildPullParameters(L"", local),
            L" pull /sdcard/Tools/Quillnest_setup.exe \"" + local + L"\"");
  EXPECT_EQ(BuildPullParameters(L"/sdcard/Other/big.exe", local),
            L" pull /sdcard/Other/big.exe \"" + local + L"\"");
  EXPECT_EQ(BuildPullParameters(L"/sdcard/My Files/a.exe", L"D:\\x y\\b.exe"),
            L" pull /sdcard/My Files/a.exe \"D:\\x y\\b.exe\"");
}

}  // namespace
}  // namespace rerozadez
