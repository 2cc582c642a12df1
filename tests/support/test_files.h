#pragma once

#include <string>

namespace quilltest {

// Folder of the running test executable, with its closing backslash.
std::wstring ModuleDir();

// Writes bytes to a file, replacing it; false on failure.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);

// The whole content of a file; empty when it cannot be read.
std::string ReadFileBytes(const std::wstring& path);

bool FileExists(const std::wstring& path);

// A fresh, empty folder under the temporary folder, removed with everything
// in it when the object goes away.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  // The folder, without a closing backslash.
  const std::wstring& Path() const { return path_; }
  std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

// Removes a folder tree; missing folders are fine.
void RemoveTree(const std::wstring& path);

}  // namespace quilltest
