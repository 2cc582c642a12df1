#include "workflow/version_compare.h"

#include <gtest/gtest.h>

namespace rerozadez {
namespace {

TEST(VersionParse, ReadsFourNumbersAndStopsTheLastAtAFullStop) {
  int a = -1, b = -1, c = -1, d = -1;
  ASSERT_TRUE(ParseVersion("1.2.3.4", a, b, c, d));
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 2);
  EXPECT_EQ(c, 3);
  EXPECT_EQ(d, 4);
  ASSERT_TRUE(ParseVersion("1.2.3.4.5", a, b, c, d));
  EXPECT_EQ(d, 4);
  ASSERT_TRUE(ParseVersion("..x.", a, b, c, d));  // empty parts read as 0
  EXPECT_EQ(a, 0);
  EXPECT_EQ(d, 0);
}

TEST(VersionParse, FailsWithoutThreeFullStopsKeepingWhatWasRead) {
  int a = -1, b = -1, c = -1, d = 77;
  EXPECT_FALSE(ParseVersion("7.8.9", a, b, c, d));
  EXPECT_EQ(a, 7);
  EXPECT_EQ(b, 8);
  EXPECT_EQ(d, 77);
  EXPECT_FALSE(ParseVersion("", a, b, c, d));
}

TEST(VersionCompare, OnlyTheBuildNumbersDecide) {
  EXPECT_EQ(CompareVersion("1.0.0.6", "1.0.0.5"), 1);
  EXPECT_EQ(CompareVersion("1.0.0.5", "1.0.0.5"), 0);
  EXPECT_EQ(CompareVersion("9.9.9.5", "1.0.0.5"), 0);
  EXPECT_EQ(CompareVersion("1.0.0.4", "1.0.0.5"), -1);
  EXPECT_EQ(CompareVersion("2.0.0.1", "1.0.0.5"), -1);
}

TEST(VersionCompare, DateStyleInstalledBuildsAreOlderThanCurrentOnes) {
  EXPECT_EQ(CompareVersion("2.0.0.100", "1.0.0.2011120501"), 1);
  // Just below either threshold the ordinary rule holds.
  EXPECT_EQ(CompareVersion("2.0.0.100", "1.0.0.2011000000"), -1);
  EXPECT_EQ(CompareVersion("2.0.0.1000000000", "1.0.0.2011120501"), -1);
}

TEST(VersionCompare, UnparsableTextsLeaveTheInstalledSuiteNotKnownToBeCurrent) {
  EXPECT_EQ(CompareVersion("1.0.0.5", "1.0.0"), -1);
  EXPECT_EQ(CompareVersion("", "1.0.0.5"), -1);
  // That -1 is no verdict: only two parsed versions can show the suite current.
  EXPECT_FALSE(IsInstalledSuiteCurrent("1.0.0.5", "1.0.0"));
  EXPECT_FALSE(IsInstalledSuiteCurrent("", "1.0.0.5"));
  EXPECT_TRUE(IsInstalledSuiteCurrent("1.0.0.4", "1.0.0.5"));
  EXPECT_TRUE(IsInstalledSuiteCurrent("1.0.0.5", "1.0.0.5"));
  EXPECT_FALSE(IsInstalledSuiteCurrent("1.0.0.6", "1.0.0.5"));
  // An overlong number saturates instead of wrapping into a small build.
  EXPECT_EQ(CompareVersion("1.0.0.99999999999999", "1.0.0.5"), 1);
}

// A floor is passed by no build of an older release, whatever its build
// number: every number counts, the first that differs decides.
TEST(VersionCompare, NumberByNumberTheFirstDifferenceDecides) {
  const struct {
    const char* a;
    const char* b;
    int sign;
  } cases[] = {
      {"3.2.0.150", "3.2.0.150", 0}, {"3.2.0.149", "3.2.0.150", -1},
      {"3.2.1.0", "3.2.0.150", 1},   {"1.0.0.2011120501", "3.2.0.150", -1},
      {"10.0.0.0", "9.9.9.9", 1},    {"3.2", "0.0.0.0", 0},  // unparsable: 0.0.0.0
  };
  for (const auto& c : cases) {
    const int result = CompareVersionNumbers(c.a, c.b);
    EXPECT_EQ(c.sign, (result > 0) - (result < 0)) << c.a << " against " << c.b;
  }
}

}  // namespace
}  // namespace rerozadez
