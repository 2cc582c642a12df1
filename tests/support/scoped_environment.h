#pragma once

#include <string>
#include <vector>

namespace quilltest {

// Environment variables of this process changed for a scope: each variable
// gets back the value it had before the first change, or its absence, when
// the object goes away.
class ScopedEnvironment {
 public:
  ScopedEnvironment() = default;
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  void Set(const std::wstring& name, const std::wstring& value);
  // value is ASCII text (an address, a number).
  void Set(const std::wstring& name, const std::string& value);
  void Unset(const std::wstring& name);

  // APPDATA to appData, TMP and TEMP to temp: where the program keeps its
  // working folders.
  void RedirectWorkFolders(const std::wstring& appData, const std::wstring& temp);

 private:
  struct Saved {
    std::wstring name;
    bool existed;
    std::wstring value;
  };
  void Change(const std::wstring& name, const wchar_t* value);

  std::vector<Saved> saved_;
};

}  // namespace quilltest
