#pragma once

#include <windows.h>

#include <cstdlib>

namespace rerozadez {

// The one process-wide instance of T behind each Get... accessor (one per
// type: a value shared another way gets a type of its own): made on first
// use by whichever thread comes first (the others wait for it) and
// deliberately leaked, so it stays usable while the process exits.
//
// Written with interlocked operations instead of a function-local static:
// the compiler guards those with the C++ library's __cxa_guard_acquire,
// which reports a recursive initialisation by throwing and so links the
// whole exception runtime (about 48 KB) into a program that throws nothing.
// A constructor that asks for its own instance ends the program, as the
// guard's exception did, instead of waiting for itself.
template <typename T>
T* ProcessInstance() {
  enum : LONG { kNotMade, kBeingMade, kMade };
  static volatile LONG state;  // constant-initialised: needs no guard
  static T* instance;
  static volatile DWORD maker;
  if (InterlockedCompareExchange(&state, kBeingMade, kNotMade) == kNotMade) {
    maker = GetCurrentThreadId();
    instance = new T();
    InterlockedExchange(&state, kMade);
    return instance;
  }
  while (InterlockedCompareExchange(&state, kMade, kMade) != kMade) {
    if (maker == GetCurrentThreadId())
      std::abort();
    Sleep(0);
  }
  return instance;
}

}  // namespace rerozadez
