#pragma once

#include <windows.h>

#include <string>

#include "platform/status.h"

namespace rerozadez {

// Reads and writes the program's registry string values. Stateless. A 64-bit
// build asks for the 32-bit view, so it meets the entries a 32-bit process
// (the shipped program, the suite's installer) sees.
class RegistryUtil {
 public:
  // Writes REG_SZ data under HKEY_CURRENT_USER\subKey, creating the key when
  // missing. The data is stored without a terminating null. On failure the
  // step (kRegistryOpenKey or kRegistryWriteValue) with the registry's result.
  Status SetCurrentUserStringW(std::wstring subKey, std::wstring name, std::wstring data) const;
  Status SetCurrentUserStringA(std::string subKey, std::string name, std::string data) const;

  // The value's text up to its first null, or empty on any failure (missing
  // key or value, no access, or more than 2048 bytes of data; 1024 for the
  // ANSI read). The type is not checked. status, when given, receives Ok or
  // kRegistryOpenKey / kRegistryReadValue with the registry's result (2 for
  // a missing key or value, 234 for data beyond the limit).
  std::wstring QueryStringW(HKEY root, std::wstring subKey, std::wstring name,
                            Status* status = nullptr) const;
  std::string QueryStringA(HKEY root, std::string subKey, std::string name,
                           Status* status = nullptr) const;
};

// The one RegistryUtil, created on first use and never destroyed.
RegistryUtil* GetRegistryUtil();

}  // namespace rerozadez
