// What each worker notification does to the window, decided without one.
#include "app/status_presentation.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <utility>
#include <vector>

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

// Each kind of failure has its own line under the error line and its own
// exit code when the failure screen is closed, so that the user and the
// deployment tool can tell them apart; a value that is no kind reads as a
// setup that would not start.
TEST(ReactionToNotify, FailureShowsItsCauseOffersRetryAndSetsItsExitCode) {
  using rerozadez::FailureKind;
  const auto failed = [](int value) {
    return ReactionToNotify(rerozadez::NotifyDownloadFailed, value);
  };
  const auto exitCode = [](const NotifyReaction& reaction) {
    return rerozadezGUI::ExitCodeFor(reaction.ending, reaction.failure);
  };
  std::set<int> lines;
  std::set<int> exitCodes;
  for (int value = static_cast<int>(FailureKind::kNone) + 1; value < rerozadez::kFailureKindCount;
       ++value) {
    const NotifyReaction reaction = failed(value);
    EXPECT_EQ(IDS_ERROR_DOWNLOAD_FAILED, reaction.errorText) << value;
    EXPECT_TRUE(lines.insert(reaction.failureText).second) << value;
    EXPECT_EQ(kEmptyText, reaction.statusText) << value;
    EXPECT_EQ(kEmptyText, reaction.captionText) << value;
    EXPECT_EQ(Change::kShow, reaction.retry) << value;
    EXPECT_EQ(-1, reaction.progressPosition) << value;
    ASSERT_TRUE(reaction.endingChanges) << value;
    EXPECT_TRUE(exitCodes.insert(exitCode(reaction)).second) << value;
  }
  const NotifyReaction notStarted = failed(static_cast<int>(FailureKind::kSetupNotStarted));
  for (int value : {static_cast<int>(FailureKind::kNone), rerozadez::kFailureKindCount, 99, -3}) {
    EXPECT_EQ(notStarted.failureText, failed(value).failureText) << value;
    EXPECT_EQ(exitCode(notStarted), exitCode(failed(value))) << value;
  }
}

// The exit code follows the run from notification to notification: closed
// before or during a run 1602, after the start of the setup or with the suite
// current 0, and a retry after a failure is a run under way again.
TEST(ReactionToNotify, ExitCodeFollowsTheRun) {
  using rerozadezGUI::RunEnding;
  struct Case {
    std::vector<std::pair<int, int>> notifications;
    int exitCode;
  };
  const int failed = rerozadez::NotifyDownloadFailed;
  const int noConnection = static_cast<int>(rerozadez::FailureKind::kNoConnection);
  const Case cases[] = {
      {{}, 1602},
      {{{rerozadez::NotifyRunStarted, 0}, {rerozadez::NotifyProgress, 40}}, 1602},
      {{{rerozadez::NotifyRunStarted, 0}, {rerozadez::NotifySetupLaunched, 0}}, 0},
      {{{rerozadez::NotifyRunStarted, 0}, {rerozadez::NotifyRunFinished, 0}}, 0},
      {{{rerozadez::NotifyRunStarted, 0}, {failed, noConnection}}, 2201},
      {{{failed, noConnection}, {rerozadez::NotifyDownloadRestarted, 0}}, 1602},
      {{{failed, noConnection}, {rerozadez::NotifyChecksumMismatch, 0}}, 2201},
  };
  for (const Case& c : cases) {
    RunEnding ending = RunEnding::kNotStarted;
    rerozadez::FailureKind failure = rerozadez::FailureKind::kNone;
    for (const auto& notification : c.notifications) {
      const NotifyReaction reaction = ReactionToNotify(notification.first, notification.second);
      if (reaction.endingChanges) {
        ending = reaction.ending;
        failure = reaction.failure;
      }
    }
    EXPECT_EQ(c.exitCode, rerozadezGUI::ExitCodeFor(ending, failure)) << c.notifications.size();
  }
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
