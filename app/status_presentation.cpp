#include "app/status_presentation.h"

#include "resources/resource_ids.h"
#include "workflow/worker.h"

namespace rerozadezGUI {
namespace {

using rerozadez::FailureKind;

void SetEnding(NotifyReaction* reaction, RunEnding ending,
               FailureKind failure = FailureKind::kNone) {
  reaction->endingChanges = true;
  reaction->ending = ending;
  reaction->failure = failure;
}

FailureKind FailureFromValue(int value) {
  if (value <= 0 || value >= rerozadez::kFailureKindCount)
    return FailureKind::kSetupNotStarted;
  return static_cast<FailureKind>(value);
}

}  // namespace

NotifyReaction ReactionToNotify(int type, int value) {
  NotifyReaction reaction;
  if (static_cast<unsigned>(type) > static_cast<unsigned>(rerozadez::NotifyRunFinished)) {
    return reaction;
  }
  reaction.handled = true;
  switch (type) {
    case rerozadez::NotifyRunStarted:
      reaction.installDriver = Change::kHide;
      reaction.cancel = Change::kHide;
      reaction.details = Change::kHide;
      reaction.openPage = Change::kHide;
      reaction.back = Change::kHide;
      reaction.toMainScreen = true;
      reaction.captionText = IDS_CAPTION_RUN_STARTED;
      SetEnding(&reaction, RunEnding::kUnderWay);
      break;
    case rerozadez::NotifyFetchStage:
      reaction.captionText = IDS_CAPTION_FETCH_STAGE;
      break;
    case rerozadez::NotifyInstallingDriver:
      reaction.statusText = IDS_STATUS_INSTALLING_DRIVER;
      break;
    case rerozadez::NotifyReadingSdCard:
      reaction.statusText = IDS_STATUS_READING_SD_CARD;
      break;
    case rerozadez::NotifyDownloadRestarted:
      reaction.retry = Change::kHide;
      SetEnding(&reaction, RunEnding::kUnderWay);
      [[fallthrough]];
    case rerozadez::NotifyDownloadStarted:
      reaction.errorText = kEmptyText;
      reaction.failureText = kEmptyText;
      reaction.showProgress = true;
      reaction.progressPosition = 0;
      reaction.progressLine = Change::kShow;
      reaction.statusText = IDS_STATUS_DOWNLOADING;
      break;
    case rerozadez::NotifyDownloadFailed:
      // The status band repainted for the emptied status line covers the
      // error line too.
      reaction.errorText = IDS_ERROR_DOWNLOAD_FAILED;
      reaction.failureText = FailureLineFor(FailureFromValue(value));
      reaction.statusText = kEmptyText;
      reaction.captionText = kEmptyText;
      reaction.retry = Change::kShow;
      reaction.progressLine = Change::kHide;
      SetEnding(&reaction, RunEnding::kFailed, FailureFromValue(value));
      break;
    case rerozadez::NotifyChecksumMismatch:
      reaction.statusText = IDS_STATUS_CHECKSUM_MISMATCH;
      break;
    case rerozadez::NotifyProgress:
      reaction.progressPosition = value < 0 ? 0 : (value > 100 ? 100 : value);
      break;
    case rerozadez::NotifyLaunchingSetup:
      reaction.statusText = IDS_STATUS_LAUNCHING_SETUP;
      reaction.progressLine = Change::kHide;
      break;
    case rerozadez::NotifySetupLaunched:
      reaction.closeWindow = true;
      reaction.progressLine = Change::kHide;
      SetEnding(&reaction, RunEnding::kSetupStarted);
      break;
    case rerozadez::NotifyRunFinished:
      reaction.closeWindow = true;
      reaction.progressLine = Change::kHide;
      SetEnding(&reaction, RunEnding::kSuiteCurrent);
      break;
  }
  return reaction;
}

}  // namespace rerozadezGUI
