#include "workflow/download_meter.h"

#include "platform/process_instance.h"

namespace rerozadez {
namespace {

// The span the speed is averaged over.
const double kSmoothingMs = 3000.0;
// Below this much measured time the speed is not shown at all.
const DWORD kFirstSpeedAfterMs = 1000;
// The shortest time one speed sample covers. Reads come as the bytes do,
// several within one tick of the clock on a fast line: the bytes of such
// reads add up until a sample is due instead of being lost to a span of 0.
const DWORD kMinSampleMs = 250;

// Holds the lock for a scope.
class Locked {
 public:
  explicit Locked(CRITICAL_SECTION* lock) : lock_(lock) { EnterCriticalSection(lock_); }
  ~Locked() { LeaveCriticalSection(lock_); }

 private:
  CRITICAL_SECTION* lock_;
};

}  // namespace

DownloadMeter::DownloadMeter() {
  InitializeCriticalSection(&lock_);
}

DownloadMeter::~DownloadMeter() {
  DeleteCriticalSection(&lock_);
}

void DownloadMeter::Begin(uint64_t held, uint64_t total, DWORD nowMs) {
  Locked locked(&lock_);
  figures_ = DownloadFigures();
  figures_.active = true;
  figures_.held = held;
  figures_.total = total;
  figures_.resumedFrom = held;
  sampleHeld_ = held;
  sampleMs_ = nowMs;
  lastByteMs_ = nowMs;
  measuredMs_ = 0;
  arrived_ = false;
}

void DownloadMeter::Record(uint64_t held, DWORD nowMs) {
  Locked locked(&lock_);
  if (held == figures_.held) {
    return;
  }
  lastByteMs_ = nowMs;
  if (!arrived_) {
    // The speed counts from the first byte: the wait for it (a server
    // slow to answer) is not the line's speed, and would show a first
    // figure far below it.
    arrived_ = true;
    figures_.held = held;
    sampleHeld_ = held;
    sampleMs_ = nowMs;
    return;
  }
  if (held < figures_.held) {
    // The file started over (a server that ignored the range): so does the count.
    figures_.held = held;
    figures_.resumedFrom = 0;
    sampleHeld_ = held;
    sampleMs_ = nowMs;
    return;
  }
  figures_.held = held;
  const DWORD spanMs = nowMs - sampleMs_;
  if (spanMs < kMinSampleMs) {
    return;
  }
  const double rate = static_cast<double>(held - sampleHeld_) * 1000.0 / spanMs;
  // An average that forgets what lies beyond the smoothing span; the first
  // sample stands for itself.
  const double weight =
      measuredMs_ == 0 ? 1.0 : (spanMs >= kSmoothingMs ? 1.0 : spanMs / kSmoothingMs);
  figures_.bytesPerSecond += (rate - figures_.bytesPerSecond) * weight;
  measuredMs_ += spanMs;
  sampleHeld_ = held;
  sampleMs_ = nowMs;
}

void DownloadMeter::End() {
  Locked locked(&lock_);
  figures_.active = false;
}

DownloadFigures DownloadMeter::Read(DWORD nowMs) const {
  Locked locked(&lock_);
  DownloadFigures figures = figures_;
  // A whole file waits for nothing: the program is checking it.
  const bool whole = figures.total != 0 && figures.held >= figures.total;
  figures.waiting = figures.active && !whole && nowMs - lastByteMs_ >= kWaitingAfterMs;
  if (measuredMs_ < kFirstSpeedAfterMs || figures.waiting) {
    figures.bytesPerSecond = 0;
  }
  return figures;
}

DownloadMeter* GetDownloadMeter() {
  return ProcessInstance<DownloadMeter>();
}

}  // namespace rerozadez
