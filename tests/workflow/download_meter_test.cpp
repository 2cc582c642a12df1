#include "workflow/download_meter.h"

#include <gtest/gtest.h>

namespace rerozadez {
namespace {

// The meter over a made-up timeline: (ms since the start, bytes held).
TEST(DownloadMeter, SmoothsTheSpeedSaysWhenItWaitsAndCountsAResumedStart) {
  DownloadMeter meter;
  const DWORD t0 = 4294960000u;  // GetTickCount wraps during the download
  meter.Begin(1000000, 10000000, t0);
  meter.Record(1000100, t0);                          // the first bytes
  EXPECT_EQ(0, meter.Read(t0 + 500).bytesPerSecond);  // nothing measured yet
  meter.Record(2000100, t0 + 1000);                   // 1 MB/s
  meter.Record(2100100, t0 + 1500);                   // 0.2 MB/s for half a second
  const DownloadFigures slowed = meter.Read(t0 + 1600);
  EXPECT_GT(slowed.bytesPerSecond, 500000);  // a short dip moves it, not all the way
  EXPECT_LT(slowed.bytesPerSecond, 1000000);
  EXPECT_EQ(1000000u, slowed.resumedFrom);
  EXPECT_FALSE(slowed.waiting);

  const DownloadFigures silent = meter.Read(t0 + 1500 + kWaitingAfterMs);
  EXPECT_TRUE(silent.waiting);
  EXPECT_EQ(0, silent.bytesPerSecond);

  meter.Record(300000, t0 + 6000);  // the server sent the file from its start
  EXPECT_EQ(0u, meter.Read(t0 + 6000).resumedFrom);
  EXPECT_EQ(300000u, meter.Read(t0 + 6000).held);
  meter.End();
  EXPECT_FALSE(meter.Read(t0 + 6000).active);
}

// A server that takes its time to answer does not lower the line's speed,
// and a whole file waits for nothing while the program checks it.
TEST(DownloadMeter, CountsFromTheFirstByteAndAWholeFileNeverWaits) {
  const uint64_t total = 1 << 20;
  DownloadMeter meter;
  meter.Begin(0, total, 0);
  EXPECT_TRUE(meter.Read(kWaitingAfterMs).waiting);  // no answer yet
  uint64_t held = 0;
  DWORD now = 5000;
  for (; held < total; now += 100) {
    meter.Record(held += 3277, now);  // 32 KiB/s from the 5th second on
    if (now == 7000) {
      EXPECT_NEAR(32770, meter.Read(now).bytesPerSecond, 32770 / 20);
    }
  }
  EXPECT_FALSE(meter.Read(now + 10 * kWaitingAfterMs).waiting);
}

// On a fast line many reads fall within one tick of the clock: their bytes
// count all the same, and the speed is the line's (8 x 64 KiB per 16 ms).
TEST(DownloadMeter, ReadsWithinOneTickAllCount) {
  DownloadMeter meter;
  meter.Begin(0, 0, 0);
  uint64_t held = 0;
  for (DWORD now = 0; now < 10000; now += 16) {
    for (int read = 0; read < 8; ++read)
      meter.Record(held += 65536, now);
  }
  EXPECT_NEAR(8 * 65536 * 1000.0 / 16, meter.Read(10000).bytesPerSecond, 8 * 65536 * 1000.0 / 160);
}

}  // namespace
}  // namespace rerozadez
