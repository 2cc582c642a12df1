#pragma once

#include <windows.h>

#include <cstdint>

namespace rerozadez {

// The most one read of a download asks for, and the size of its buffer.
const DWORD kMaxReadBytes = 1048576;

// How much each read of a download body asks for. A synchronous read
// returns only once it is full or the body ends: asking for 1 MiB on a
// 32 KiB/s line shows the user nothing for 32 s, while asking only for
// what has arrived (at most 8 KiB under Wine) halves a fast line's
// throughput in per-read costs. So a read asks for what the line brought in
// the last tenth of a second at its recent speed: at least what has
// arrived, at most kMaxReadBytes. Times are GetTickCount's, passed in so
// that tests can call it directly.
class ReadPacer {
 public:
  // The body's first byte has come at nowMs; the speed is not known yet.
  explicit ReadPacer(DWORD nowMs) : markMs_(nowMs) {}

  // The bytes to ask for when available have arrived (0 at the body's end:
  // one byte, for the read that says so).
  DWORD NextRead(DWORD available) const;
  // A read brought bytes at nowMs.
  void Received(DWORD bytes, DWORD nowMs);

 private:
  DWORD markMs_;            // since when sinceMark_ counts
  uint64_t sinceMark_ = 0;  // bytes received since then
  double bytesPerMs_ = 0;   // the line's speed over the last sample
};

}  // namespace rerozadez
