#pragma once

#include <windows.h>

#include <cstdint>

namespace rerozadez {

// How a download is going, as the progress line tells it.
struct DownloadFigures {
  bool active = false;        // between the download phase's start and its end
  uint64_t held = 0;          // the bytes the setup file holds
  uint64_t total = 0;         // the offered size; 0 when unknown
  uint64_t resumedFrom = 0;   // what the file held when this run's download began
  double bytesPerSecond = 0;  // smoothed; 0 until a second of data has come
  bool waiting = false;       // short of the total, nothing arrived for kWaitingAfterMs
};

// After this long without a byte the line says it waits for the server.
const DWORD kWaitingAfterMs = 3000;

// Measures the download on its thread for the window's thread, which reads
// figures whenever it redraws. The speed is an average over the last few
// seconds (each sample weighs by the time it covers) from the first byte
// on, so one fast or slow read does not make the line jump. Times are GetTickCount's, passed in so
// that tests can call it directly.
class DownloadMeter {
 public:
  DownloadMeter();
  ~DownloadMeter();
  DownloadMeter(const DownloadMeter&) = delete;
  DownloadMeter& operator=(const DownloadMeter&) = delete;

  // A download phase begins with held bytes on disk, of total (0: unknown).
  void Begin(uint64_t held, uint64_t total, DWORD nowMs);
  // What the file holds now; less than before means it started over.
  void Record(uint64_t held, DWORD nowMs);
  // The phase ended; the figures go inactive.
  void End();
  DownloadFigures Read(DWORD nowMs) const;

 private:
  mutable CRITICAL_SECTION lock_;
  DownloadFigures figures_;
  uint64_t sampleHeld_ = 0;  // held when the last speed sample was taken
  DWORD sampleMs_ = 0;       // when it was taken (or the phase began)
  DWORD lastByteMs_ = 0;     // when held last changed (or the phase began)
  DWORD measuredMs_ = 0;     // how much time the speed average covers so far
  bool arrived_ = false;     // a byte has come since the phase began
};

// The one meter, created on first use and never destroyed.
DownloadMeter* GetDownloadMeter();

}  // namespace rerozadez
