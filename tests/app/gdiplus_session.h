#pragma once

#include <windows.h>

namespace quilltest {

// Keeps GDI+ running for a test's lifetime.
class GdiplusSession {
 public:
  GdiplusSession();
  ~GdiplusSession();
  GdiplusSession(const GdiplusSession&) = delete;
  GdiplusSession& operator=(const GdiplusSession&) = delete;
  bool Started() const { return started_; }

 private:
  ULONG_PTR token_;
  bool started_;
};

}  // namespace quilltest
