#include "workflow/download_meter.h"

#include <gtest/gtest.h>

namespace rerozadez {
namespace {

// The meter over a made-up timeline: (ms since the start, bytes held).
TEST(DownloadMeter, SmoothsTheSpeedSaysWhenItWaitsAndCountsAResumedStart) {
  DownloadMeter meter;
  const DWORD t0 = 4294960000u;  // GetTickCount wraps during the download
  meter.Begin(1000000, 10000000, t0);
  EXPECT_EQ(0, meter.Read(t0 + 500).bytesPerSecond);  // nothing measured yet
  meter.Record(2000000, t0 + 1000);                   // 1 MB/s
  meter.Record(2100000, t0 + 1500);                   // 0.2 MB/s for half a second
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
