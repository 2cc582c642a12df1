#include "tests/support/scoped_environment.h"

#include <windows.h>

namespace quilltest {

ScopedEnvironment::~ScopedEnvironment() {
  for (const Saved& saved : saved_) {
    SetEnvironmentVariableW(saved.name.c_str(), saved.existed ? saved.value.c_str() : nullptr);
  }
}

void ScopedEnvironment::Set(const std::wstring& name, const std::wstring& value) {
  Change(name, value.c_str());
}

void ScopedEnvironment::Set(const std::wstring& name, const std::string& value) {
  Change(name, std::wstring(value.begin(), value.end()).c_str());
}

void ScopedEnvironment::Unset(const std::wstring& name) {
  Change(name, nullptr);
}

void ScopedEnvironment::RedirectWorkFolders(const std::wstring& appData, const std::wstring& temp) {
  Set(L"APPDATA", appData);
  Set(L"TMP", temp);
  Set(L"TEMP", temp);
}

void ScopedEnvironment::Change(const std::wstring& name, const wchar_t* value) {
  bool known = false;
  for (const Saved& saved : saved_) {
    known = known || saved.name == name;
  }
  if (!known) {
    // An empty variable and a missing one both read as length 0; only the
    // error tells them apart.
    SetLastError(ERROR_SUCCESS);
    const DWORD size = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
    Saved saved = {name, size > 0 || GetLastError() != ERROR_ENVVAR_NOT_FOUND, L""};
    if (size > 0) {
      saved.value.resize(size);
      saved.value.resize(GetEnvironmentVariableW(name.c_str(), &saved.value[0], size));
    }
    saved_.push_back(saved);
  }
  SetEnvironmentVariableW(name.c_str(), value);
}

}  // namespace quilltest
