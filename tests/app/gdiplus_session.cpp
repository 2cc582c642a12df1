#include "tests/app/gdiplus_session.h"

#include <objidl.h>

#include <gdiplus.h>

namespace quilltest {

GdiplusSession::GdiplusSession() : token_(0) {
  Gdiplus::GdiplusStartupInput input;
  started_ = Gdiplus::GdiplusStartup(&token_, &input, nullptr) == Gdiplus::Ok;
}

GdiplusSession::~GdiplusSession() {
  if (started_) {
    Gdiplus::GdiplusShutdown(token_);
  }
}

}  // namespace quilltest
