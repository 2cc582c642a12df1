// What each worker notification does to the window, decided without one.
#include "app/status_presentation.h"

#include <gtest/gtest.h>

#include <climits>

#include "resources/resource_ids.h"
#include "workflow/worker.h"

namespace {

using rerozadezGUI::Change;
using rerozadezGUI::kEmptyText;
using rerozadezGUI::kLeaveText;
using rerozadezGUI::NotifyReaction;
using rerozadezGUI::ReactionToNotify;

TEST(ReactionToNotify, RunStartReturnsToTheMainScreenWithOnlyTheCaption) {
  const NotifyReaction reaction = ReactionToNotify(rerozadez::NotifyRunStarted, 0);
  ASSERT_TRUE(reaction.handled);
  EXPECT_TRUE(reaction.toMainScreen);
  EXPECT_EQ(IDS_CAPTION_RUN_STARTED, reaction.captionText);
  EXPECT_EQ(kLeaveText, reaction.statusText);
  for (Change change : {reaction.installDriver, reaction.cancel, reaction.details,
                        reaction.openPage, reaction.back}) {
    EXPECT_EQ(Change::kHide, change);
  }
  EXPECT_EQ(Change::kLeave, reaction.retry);
  EXPECT_FALSE(reaction.showProgress);
  EXPECT_FALSE(reaction.closeWindow);
}

TEST(ReactionToNotify, StagesSetOneLineEach) {
  struct Case {
    int type;
    int caption;
    int status;
  };
  const Case cases[] = {
      {rerozadez::NotifyFetchStage, IDS_CAPTION_FETCH_STAGE, kLeaveText},
      {rerozadez::NotifyInstallingDriver, kLeaveText, IDS_STATUS_INSTALLING_DRIVER},
      {rerozadez::NotifyReadingSdCard, kLeaveText, IDS_STATUS_READING_SD_CARD},
      {rerozadez::NotifyChecksumMismatch, kLeaveText, IDS_STATUS_CHECKSUM_MISMATCH},
      {rerozadez::NotifyLaunchingSetup, kLeaveText, IDS_STATUS_LAUNCHING_SETUP},
  };
  for (const Case& c : cases) {
    const NotifyReaction reaction = ReactionToNotify(c.type, 0);
    EXPECT_TRUE(reaction.handled) << c.type;
    EXPECT_EQ(c.caption, reaction.captionText) << c.type;
    EXPECT_EQ(c.status, reaction.statusText) << c.type;
    EXPECT_EQ(kLeaveText, reaction.errorText) << c.type;
    EXPECT_FALSE(reaction.toMainScreen) << c.type;
    EXPECT_EQ(Change::kLeave, reaction.installDriver) << c.type;
    EXPECT_EQ(-1, reaction.progressPosition) << c.type;
    EXPECT_FALSE(reaction.closeWindow) << c.type;
  }
}

TEST(ReactionToNotify, DownloadStartShowsTheBarAtZeroAndClearsTheError) {
  for (int type : {rerozadez::NotifyDownloadStarted, rerozadez::NotifyDownloadRestarted}) {
    const NotifyReaction reaction = ReactionToNotify(type, 55);
    EXPECT_TRUE(reaction.showProgress) << type;
    EXPECT_EQ(0, reaction.progressPosition) << type;
    EXPECT_EQ(kEmptyText, reaction.errorText) << type;
    EXPECT_EQ(IDS_STATUS_DOWNLOADING, reaction.statusText) << type;
    EXPECT_EQ(kLeaveText, reaction.captionText) << type;
  }
  // Only the retry run's start takes the Retry button away.
  EXPECT_EQ(Change::kLeave, ReactionToNotify(rerozadez::NotifyDownloadStarted, 0).retry);
  EXPECT_EQ(Change::kHide, ReactionToNotify(rerozadez::NotifyDownloadRestarted, 0).retry);
}

TEST(ReactionToNotify, FailedDownloadEmptiesStatusAndCaptionAndOffersRetry) {
  const NotifyReaction reaction = ReactionToNotify(rerozadez::NotifyDownloadFailed, 0);
  EXPECT_EQ(IDS_ERROR_DOWNLOAD_FAILED, reaction.errorText);
  EXPECT_EQ(kEmptyText, reaction.statusText);
  EXPECT_EQ(kEmptyText, reaction.captionText);
  EXPECT_EQ(Change::kShow, reaction.retry);
  EXPECT_FALSE(reaction.showProgress);
  EXPECT_EQ(-1, reaction.progressPosition);
}

TEST(ReactionToNotify, ProgressMovesOnlyTheBarHeldToItsRange) {
  EXPECT_EQ(37, ReactionToNotify(rerozadez::NotifyProgress, 37).progressPosition);
  EXPECT_EQ(0, ReactionToNotify(rerozadez::NotifyProgress, 0).progressPosition);
  EXPECT_EQ(100, ReactionToNotify(rerozadez::NotifyProgress, 100).progressPosition);
  EXPECT_EQ(0, ReactionToNotify(rerozadez::NotifyProgress, -5).progressPosition);
  EXPECT_EQ(100, ReactionToNotify(rerozadez::NotifyProgress, 250).progressPosition);
  EXPECT_EQ(0, ReactionToNotify(rerozadez::NotifyProgress, INT_MIN).progressPosition);
  const NotifyReaction reaction = ReactionToNotify(rerozadez::NotifyProgress, 37);
  EXPECT_EQ(kLeaveText, reaction.statusText);
  EXPECT_EQ(kLeaveText, reaction.captionText);
  EXPECT_FALSE(reaction.showProgress);
}

TEST(ReactionToNotify, EndOfRunClosesTheWindowAndChangesNothingElse) {
  for (int type : {rerozadez::NotifySetupLaunched, rerozadez::NotifyRunFinished}) {
    const NotifyReaction reaction = ReactionToNotify(type, 0);
    EXPECT_TRUE(reaction.closeWindow) << type;
    EXPECT_EQ(kLeaveText, reaction.statusText) << type;
    EXPECT_EQ(kLeaveText, reaction.captionText) << type;
    EXPECT_EQ(Change::kLeave, reaction.retry) << type;
  }
}

TEST(ReactionToNotify, UnknownTypesAreIgnored) {
  for (int type : {12, -1, 100, INT_MIN, INT_MAX}) {
    const NotifyReaction reaction = ReactionToNotify(type, 50);
    EXPECT_FALSE(reaction.handled) << type;
    EXPECT_FALSE(reaction.closeWindow) << type;
    EXPECT_EQ(-1, reaction.progressPosition) << type;
    EXPECT_EQ(kLeaveText, reaction.statusText) << type;
  }
}

}  // namespace
