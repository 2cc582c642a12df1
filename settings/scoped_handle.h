#pragma once

#include <windows.h>

namespace rerozadez {

// Owns a kernel handle and closes it on every path out of a scope. Both
// INVALID_HANDLE_VALUE (files, snapshots) and null (processes, mutexes) count
// as "no handle".
class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE handle = nullptr) : handle_(handle) {}
  ~ScopedHandle() { Close(); }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  bool IsValid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle_; }

  // Closes the current handle and takes ownership of another.
  void Reset(HANDLE handle = nullptr) {
    Close();
    handle_ = handle;
  }

  // Gives up ownership without closing.
  HANDLE Release() {
    HANDLE handle = handle_;
    handle_ = nullptr;
    return handle;
  }

 private:
  void Close() {
    if (IsValid()) {
      CloseHandle(handle_);
    }
    handle_ = nullptr;
  }

  HANDLE handle_;
};

}  // namespace rerozadez
