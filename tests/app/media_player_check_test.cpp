// The media-player version decision and reading a real program's version.
#include "app/media_player_check.h"

#include <gtest/gtest.h>

#include <cwchar>

#include "app/skin_layout.h"
#include "tests/support/test_files.h"

namespace {

using namespace rerozadezGUI;

bool HintFor(const wchar_t* version) {
  return IsMediaHintNeeded(version, wcslen(version));
}

TEST(IsMediaHintNeeded, PlayersBelowElevenNeedTheHint) {
  EXPECT_TRUE(HintFor(L"9.00.00.4503"));
  EXPECT_TRUE(HintFor(L"10.00.00.3646"));
  EXPECT_TRUE(HintFor(L"1.0"));
  EXPECT_TRUE(HintFor(L"01.5"));
}

TEST(IsMediaHintNeeded, PlayersFromElevenOnAreNewEnough) {
  EXPECT_FALSE(HintFor(L"11.0.5721.5145"));
  EXPECT_FALSE(HintFor(L"12.0.7601.17514"));
  EXPECT_FALSE(HintFor(L"20.1"));
  EXPECT_FALSE(HintFor(L"100.0"));
}

TEST(IsMediaHintNeeded, TextsThatCannotTellNeedTheHint) {
  EXPECT_TRUE(HintFor(L""));
  EXPECT_TRUE(HintFor(L"11"));
  EXPECT_TRUE(HintFor(L"12345"));
  EXPECT_TRUE(IsMediaHintNeeded(nullptr, 0));
  // Only the given length counts, even when more text follows.
  EXPECT_TRUE(IsMediaHintNeeded(L"11.0.5721", 2));
}

TEST(MediaPlayerPath, FollowsTheSystemDrive) {
  EXPECT_EQ(L"C:\\Program Files\\Windows Media Player\\wmplayer.exe", MediaPlayerPath(L"C:"));
  EXPECT_EQ(48u, MediaPlayerPath(L"").size());
}

TEST(DecideMediaScreen, HintScreenOrDetailsOrEnd) {
  MediaCheckOutcome outcome = DecideMediaScreen(true, false);
  EXPECT_TRUE(outcome.keepRunning);
  EXPECT_EQ(ScreenMediaHint, outcome.screenState);
  outcome = DecideMediaScreen(true, true);
  EXPECT_TRUE(outcome.keepRunning);
  EXPECT_EQ(ScreenMediaDetails, outcome.screenState);
  outcome = DecideMediaScreen(false, false);
  EXPECT_TRUE(outcome.keepRunning);
  EXPECT_EQ(ScreenMain, outcome.screenState);
  // With overSea the window exists only to show the hint.
  EXPECT_FALSE(DecideMediaScreen(false, true).keepRunning);
}

std::wstring StandIn(const wchar_t* name) {
  return quilltest::ModuleDir() + L"stand_in_player_" + name + L".exe";
}

TEST(ReadProductVersion, ReadsTheChineseBlockOfARealProgram) {
  ProductVersion old = ReadProductVersion(StandIn(L"v9"));
  ASSERT_TRUE(old.hasVersionInfo);
  EXPECT_EQ(L"9.00.00.4503", old.text);
  EXPECT_TRUE(IsMediaHintNeeded(old.text.c_str(), old.text.size()));

  ProductVersion current = ReadProductVersion(StandIn(L"v11"));
  ASSERT_TRUE(current.hasVersionInfo);
  EXPECT_EQ(L"11.0.5721.5145", current.text);
  EXPECT_FALSE(IsMediaHintNeeded(current.text.c_str(), current.text.size()));
}

TEST(ReadProductVersion, OtherLanguageBlockReadsAsNoVersion) {
  ProductVersion english = ReadProductVersion(StandIn(L"no_prc"));
  EXPECT_TRUE(english.hasVersionInfo);
  EXPECT_EQ(L"", english.text);
  EXPECT_TRUE(IsMediaHintNeeded(english.text.c_str(), english.text.size()));
}

TEST(ReadProductVersion, MissingFileOrVersionInformationReadsAsNone) {
  EXPECT_FALSE(ReadProductVersion(quilltest::ModuleDir() + L"no_such_player.exe").hasVersionInfo);
  quilltest::ScratchDir scratch;
  ASSERT_TRUE(quilltest::WriteFileBytes(scratch.File(L"wmplayer.exe"), "MZ not really a program"));
  EXPECT_FALSE(ReadProductVersion(scratch.File(L"wmplayer.exe")).hasVersionInfo);
}

}  // namespace
