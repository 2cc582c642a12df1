#pragma once

#include <windows.h>
#include <wincrypt.h>
#include <wininet.h>

namespace rerozadez {

// Owns one Windows object and releases it on every path out of a scope.
// Traits name the object's type, the values that mean "none" and how it is
// released:
//   typedef ... Type;  static bool IsNone(Type);  static Type None();
//   static void Release(Type);
template <typename Traits>
class ScopedObject {
 public:
  typedef typename Traits::Type Type;

  explicit ScopedObject(Type object = Traits::None()) : object_(object) {}
  ~ScopedObject() { Reset(); }
  ScopedObject(const ScopedObject&) = delete;
  ScopedObject& operator=(const ScopedObject&) = delete;

  bool IsValid() const { return !Traits::IsNone(object_); }
  Type Get() const { return object_; }

  // Releases the current object and takes ownership of another.
  void Reset(Type object = Traits::None()) {
    if (!Traits::IsNone(object_)) {
      Traits::Release(object_);
    }
    object_ = object;
  }

  // For functions that hand the object back through a pointer. Releases
  // what is held first.
  Type* Receive() {
    Reset();
    return &object_;
  }

  // Gives up ownership without releasing.
  Type Detach() {
    Type object = object_;
    object_ = Traits::None();
    return object;
  }

 private:
  Type object_;
};

// Kernel handles: files and snapshots use INVALID_HANDLE_VALUE for "none",
// processes and mutexes null, so both count as no handle.
struct KernelHandleTraits {
  typedef HANDLE Type;
  static Type None() { return nullptr; }
  static bool IsNone(Type handle) { return handle == nullptr || handle == INVALID_HANDLE_VALUE; }
  static void Release(Type handle) { CloseHandle(handle); }
};

struct RegistryKeyTraits {
  typedef HKEY Type;
  static Type None() { return nullptr; }
  static bool IsNone(Type key) { return key == nullptr; }
  static void Release(Type key) { RegCloseKey(key); }
};

struct CryptProviderTraits {
  typedef HCRYPTPROV Type;
  static Type None() { return 0; }
  static bool IsNone(Type provider) { return provider == 0; }
  static void Release(Type provider) { CryptReleaseContext(provider, 0); }
};

struct CryptHashTraits {
  typedef HCRYPTHASH Type;
  static Type None() { return 0; }
  static bool IsNone(Type hash) { return hash == 0; }
  static void Release(Type hash) { CryptDestroyHash(hash); }
};

struct GlobalMemoryTraits {
  typedef HGLOBAL Type;
  static Type None() { return nullptr; }
  static bool IsNone(Type memory) { return memory == nullptr; }
  static void Release(Type memory) { GlobalFree(memory); }
};

// WinINet sessions, connections and requests. Declare them session first,
// request last, so that they close in the reverse order.
struct InternetHandleTraits {
  typedef HINTERNET Type;
  static Type None() { return nullptr; }
  static bool IsNone(Type handle) { return handle == nullptr; }
  static void Release(Type handle) { InternetCloseHandle(handle); }
};

// Fonts, brushes and other GDI objects; never one selected into a device
// context at release time.
struct GdiObjectTraits {
  typedef HGDIOBJ Type;
  static Type None() { return nullptr; }
  static bool IsNone(Type object) { return object == nullptr; }
  static void Release(Type object) { DeleteObject(object); }
};

typedef ScopedObject<KernelHandleTraits> ScopedHandle;
typedef ScopedObject<RegistryKeyTraits> ScopedKey;
typedef ScopedObject<CryptProviderTraits> ScopedCryptProvider;
typedef ScopedObject<CryptHashTraits> ScopedCryptHash;
typedef ScopedObject<GlobalMemoryTraits> ScopedGlobal;
typedef ScopedObject<InternetHandleTraits> ScopedInternet;
typedef ScopedObject<GdiObjectTraits> ScopedGdiObject;

}  // namespace rerozadez
