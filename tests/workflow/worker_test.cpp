#include "workflow/worker.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "platform/pause.h"
#include "tests/support/notification_recorder.h"

namespace rerozadez {
namespace {

// Only the window clears the stop request, just before it starts a run: a
// worker started without it does nothing.
TEST(WorkerObject, FreshWorkerRunsNothingUntilItsStopRequestIsCleared) {
  // The first use in this test program: the worker as it was made. Should
  // a run get past its first check, the pause that follows stops it.
  SetPauseHook([](DWORD, void*) { GetReroZadezHelper()->stopRequested = 1; }, nullptr);
  quilltest::NotificationRecorder notifications;
  CReroZadezHelper* worker = GetReroZadezHelper();
  EXPECT_EQ(worker->Run(), 1);
  EXPECT_EQ(worker->running, 0);
  EXPECT_TRUE(notifications.Received().empty());
  SetPauseHook(nullptr, nullptr);
}

TEST(WorkerObject, NotificationsReachTheCallbackInOrderUntilItIsCleared) {
  CReroZadezHelper* worker = GetReroZadezHelper();
  {
    quilltest::NotificationRecorder notifications;
    worker->Notify(NotifyProgress, 37);
    worker->Notify(NotifyRunFinished);
    const std::vector<std::pair<int, int>> expected = {{NotifyProgress, 37},
                                                       {NotifyRunFinished, 0}};
    EXPECT_EQ(notifications.Received(), expected);
  }
  // Without a callback a notification is dropped, harmlessly.
  worker->Notify(NotifyChecksumMismatch);
}

}  // namespace
}  // namespace rerozadez
