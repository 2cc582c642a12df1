#pragma once

#include <windows.h>
#include <wininet.h>

namespace rerozadez {

// Owns a WinINet handle (session, connection or request) and closes it on
// every path out of a scope. Declare them session first, request last, so
// that they close in the reverse order.
class InternetHandle {
 public:
  explicit InternetHandle(HINTERNET handle = nullptr) : handle_(handle) {}
  ~InternetHandle() {
    if (handle_ != nullptr)
      InternetCloseHandle(handle_);
  }
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;

  // Closes the current handle and takes ownership of another.
  void Reset(HINTERNET handle) {
    if (handle_ != nullptr)
      InternetCloseHandle(handle_);
    handle_ = handle;
  }

  HINTERNET Get() const { return handle_; }
  bool IsValid() const { return handle_ != nullptr; }

 private:
  HINTERNET handle_;
};

}  // namespace rerozadez
