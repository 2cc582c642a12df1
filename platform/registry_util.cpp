#include "platform/registry_util.h"

#include <utility>
#include <vector>

#include "platform/diagnostic_log.h"
#include "platform/process_instance.h"
#include "platform/scoped.h"
#include "platform/text_encoding.h"

namespace rerozadez {
namespace {

// The shipped program is 32-bit and sees the 32-bit view on its own; a
// 64-bit build must ask for it to meet the same entries.
#ifdef _WIN64
const REGSAM kRegistryView = KEY_WOW64_32KEY;
#else
const REGSAM kRegistryView = 0;
#endif

const size_t kWideReadBytes = 2048;
const size_t kAnsiReadBytes = 1024;

// "<key>: <value name>" for a status's detail.
std::string ValuePlace(const std::wstring& subKey, const std::wstring& name) {
  return LogText(subKey) + ": " + LogText(name);
}

std::string ValuePlace(const std::string& subKey, const std::string& name) {
  return ValuePlace(MultiByteToWide(CP_ACP, subKey.c_str()), MultiByteToWide(CP_ACP, name.c_str()));
}

// Ok for ERROR_SUCCESS, else the step with the registry's result.
Status RegistryStatus(LONG result, StatusStep step, const std::string& place) {
  return result == ERROR_SUCCESS ? Status::Ok()
                                 : Status::Windows(step, static_cast<unsigned long>(result), place);
}

void Report(Status* status, Status result) {
  if (status != nullptr) {
    *status = std::move(result);
  }
}

}  // namespace

Status RegistryUtil::SetCurrentUserStringW(std::wstring subKey, std::wstring name,
                                           std::wstring data) const {
  ScopedKey key;
  LONG result = RegOpenKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, KEY_ALL_ACCESS | kRegistryView,
                              key.Receive());
  if (result != ERROR_SUCCESS) {
    result = RegCreateKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, nullptr, 0,
                             KEY_ALL_ACCESS | kRegistryView, nullptr, key.Receive(), nullptr);
  }
  if (result != ERROR_SUCCESS) {
    return RegistryStatus(result, StatusStep::kRegistryOpenKey, ValuePlace(subKey, name));
  }
  // Stored without a terminator: "true" is exactly 8 bytes.
  result = RegSetValueExW(key.Get(), name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>(data.size() * sizeof(wchar_t)));
  return RegistryStatus(result, StatusStep::kRegistryWriteValue, ValuePlace(subKey, name));
}

Status RegistryUtil::SetCurrentUserStringA(std::string subKey, std::string name,
                                           std::string data) const {
  ScopedKey key;
  LONG result = RegOpenKeyExA(HKEY_CURRENT_USER, subKey.c_str(), 0, KEY_ALL_ACCESS | kRegistryView,
                              key.Receive());
  if (result != ERROR_SUCCESS) {
    result = RegCreateKeyExA(HKEY_CURRENT_USER, subKey.c_str(), 0, nullptr, 0,
                             KEY_ALL_ACCESS | kRegistryView, nullptr, key.Receive(), nullptr);
  }
  if (result != ERROR_SUCCESS) {
    return RegistryStatus(result, StatusStep::kRegistryOpenKey, ValuePlace(subKey, name));
  }
  result =
      RegSetValueExA(key.Get(), name.c_str(), 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(data.c_str()), static_cast<DWORD>(data.size()));
  return RegistryStatus(result, StatusStep::kRegistryWriteValue, ValuePlace(subKey, name));
}

std::wstring RegistryUtil::QueryStringW(HKEY root, std::wstring subKey, std::wstring name,
                                        Status* status) const {
  ScopedKey key;
  LONG result = RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ | kRegistryView, key.Receive());
  if (result != ERROR_SUCCESS) {
    Report(status, RegistryStatus(result, StatusStep::kRegistryOpenKey, ValuePlace(subKey, name)));
    return std::wstring();
  }
  // One unit more than the registry may fill: data of exactly the full size
  // carries no terminator of its own (possibly an odd byte, too).
  std::vector<wchar_t> buffer(kWideReadBytes / sizeof(wchar_t) + 1, L'\0');
  DWORD size = kWideReadBytes;
  result = RegQueryValueExW(key.Get(), name.c_str(), nullptr, nullptr,
                            reinterpret_cast<BYTE*>(buffer.data()), &size);
  Report(status, RegistryStatus(result, StatusStep::kRegistryReadValue, ValuePlace(subKey, name)));
  return result == ERROR_SUCCESS ? std::wstring(buffer.data()) : std::wstring();
}

std::string RegistryUtil::QueryStringA(HKEY root, std::string subKey, std::string name,
                                       Status* status) const {
  ScopedKey key;
  LONG result = RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ | kRegistryView, key.Receive());
  if (result != ERROR_SUCCESS) {
    Report(status, RegistryStatus(result, StatusStep::kRegistryOpenKey, ValuePlace(subKey, name)));
    return std::string();
  }
  std::vector<char> buffer(kAnsiReadBytes + 1, '\0');
  DWORD size = kAnsiReadBytes;
  result = RegQueryValueExA(key.Get(), name.c_str(), nullptr, nullptr,
                            reinterpret_cast<BYTE*>(buffer.data()), &size);
  Report(status, RegistryStatus(result, StatusStep::kRegistryReadValue, ValuePlace(subKey, name)));
  return result == ERROR_SUCCESS ? std::string(buffer.data()) : std::string();
}

RegistryUtil* GetRegistryUtil() {
  return ProcessInstance<RegistryUtil>();
}

}  // namespace rerozadez
