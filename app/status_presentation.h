#pragma once

#include "app/exit_codes.h"

namespace rerozadezGUI {

// What a change to one of the window's texts or buttons is.
enum class Change { kLeave, kShow, kHide };

// Text slots: kLeaveText keeps the text, kEmptyText empties it, any other
// value is the string id to load.
const int kLeaveText = -1;
const int kEmptyText = 0;

// The window's answer to one worker notification, decided without touching
// the window. Applied in this order: buttons hidden, error line, progress
// bar, status line, caption line, buttons shown, closing.
struct NotifyReaction {
  bool handled = false;          // false for types outside 0..11
  bool toMainScreen = false;     // screenState := ScreenMain
  int captionText = kLeaveText;  // SetCaptionText
  int statusText = kLeaveText;   // SetStatusText
  int errorText = kLeaveText;    // errorText, without its own repaint
  int failureText = kLeaveText;  // the failure's cause and what to do, under the error line
  Change installDriver = Change::kLeave;
  Change cancel = Change::kLeave;
  Change details = Change::kLeave;
  Change openPage = Change::kLeave;
  Change back = Change::kLeave;
  Change retry = Change::kLeave;
  // The download's progress line: kShow starts it, kHide stops it (and
  // empties it unless failureText gives that row a text).
  Change progressLine = Change::kLeave;
  bool showProgress = false;
  int progressPosition = -1;  // -1 leaves the bar; else 0..100
  bool closeWindow = false;   // after 100 ms, the Cancel command
  // How far the run got, for the exit code: kept when endingChanges is false.
  bool endingChanges = false;
  RunEnding ending = RunEnding::kNotStarted;
  rerozadez::FailureKind failure = rerozadez::FailureKind::kNone;
};

// The reaction to notification type with its value (the percentage for
// NotifyProgress, held to 0..100; the FailureKind for NotifyDownloadFailed,
// where an unknown kind reads as kSetupNotStarted).
NotifyReaction ReactionToNotify(int type, int value);

}  // namespace rerozadezGUI
