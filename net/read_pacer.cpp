#include "net/read_pacer.h"

#include <algorithm>

namespace rerozadez {
namespace {

// What one read should wait for at most on a steady line.
const double kReadSpanMs = 100.0;
// The speed is sampled over at least this long, so that a read served from
// what WinINet had buffered (no time at all) says nothing of the line.
const DWORD kSpeedSampleMs = 25;

}  // namespace

DWORD ReadPacer::NextRead(DWORD available) const {
  const double paced = std::min(bytesPerMs_ * kReadSpanMs, static_cast<double>(kMaxReadBytes));
  const DWORD wanted = std::max(static_cast<DWORD>(paced), std::max<DWORD>(available, 1));
  return std::min(wanted, kMaxReadBytes);
}

void ReadPacer::Received(DWORD bytes, DWORD nowMs) {
  sinceMark_ += bytes;
  const DWORD spanMs = nowMs - markMs_;
  if (spanMs < kSpeedSampleMs) {
    return;
  }
  bytesPerMs_ = static_cast<double>(sinceMark_) / spanMs;
  sinceMark_ = 0;
  markMs_ = nowMs;
}

}  // namespace rerozadez
