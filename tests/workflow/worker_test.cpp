#include "workflow/worker.h"

#include <gtest/gtest.h>

#include <vector>

namespace rerozadez {
namespace {

struct Received {
  int type;
  int value;
  void* context;
};
std::vector<Received> g_received;

void Record(int type, int value, void* context) {
  g_received.push_back({type, value, context});
}

TEST(WorkerObject, StartsIdleWithAStopRequestAndNoCallback) {
  // This is the first use in this test program: the initial values show.
  CReroZadezHelper* worker = GetReroZadezHelper();
  EXPECT_EQ(worker->running, 0);
  EXPECT_EQ(worker->stopRequested, 1);
  EXPECT_EQ(worker->retryMode, 0);
  EXPECT_EQ(worker->notify, nullptr);
  EXPECT_EQ(worker->notifyContext, nullptr);

  // Without a callback every notification is dropped, harmlessly.
  g_received.clear();
  worker->Notify(NotifyRunStarted);
  worker->Notify(NotifyProgress, 50);
  EXPECT_TRUE(g_received.empty());
}

TEST(WorkerObject, NotificationsReachTheCallbackWithItsContext) {
  CReroZadezHelper* worker = GetReroZadezHelper();
  int context = 0;
  worker->notify = &Record;
  worker->notifyContext = &context;
  g_received.clear();
  worker->Notify(NotifyProgress, 37);
  worker->Notify(NotifyRunFinished);
  worker->notifyContext = nullptr;
  worker->Notify(NotifyChecksumMismatch);
  worker->notify = nullptr;

  ASSERT_EQ(g_received.size(), 3u);
  EXPECT_EQ(g_received[0].type, 8);
  EXPECT_EQ(g_received[0].value, 37);
  EXPECT_EQ(g_received[0].context, &context);
  EXPECT_EQ(g_received[1].type, 11);
  EXPECT_EQ(g_received[1].value, 0);
  EXPECT_EQ(g_received[2].type, 7);
  EXPECT_EQ(g_received[2].context, nullptr);
}

}  // namespace
}  // namespace rerozadez
