#pragma once

#include <windows.h>

#include <string>

namespace quilltest {

// The view the program keeps its entries in: the 32-bit one, also when a
// 64-bit test build reads them.
#ifdef _WIN64
const REGSAM kProgramView = KEY_WOW64_32KEY;
#else
const REGSAM kProgramView = 0;
#endif

// Deletes a key with all its subkeys and values in view (0, KEY_WOW64_32KEY
// or KEY_WOW64_64KEY); a missing key is fine.
void DeleteKeyTree(HKEY root, const std::wstring& path, REGSAM view = kProgramView);

// Creates the key in view when missing and stores a value of that type and
// those bytes; false on failure.
bool SetRegistryValue(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
                      const void* data, DWORD size, REGSAM view = kProgramView);
// The same for REG_SZ text, stored with its terminator.
bool SetRegistryText(HKEY root, const std::wstring& path, const std::wstring& name,
                     const std::wstring& text, REGSAM view = kProgramView);

// The stored type and bytes of a value; false when the key or value is
// missing.
bool ReadRegistryValue(HKEY root, const std::wstring& path, const std::wstring& name, DWORD* type,
                       std::string* bytes, REGSAM view = kProgramView);
// The text of a REG_SZ value up to its first null (Wine hands back a
// terminator that the stored data may lack), or kMissingValue when the key
// or value is missing or of another type.
std::wstring ReadRegistryText(HKEY root, const std::wstring& path, const std::wstring& name,
                              REGSAM view = kProgramView);
inline constexpr wchar_t kMissingValue[] = L"<missing>";

// Gives everyone exactly access to a key under HKEY_CURRENT_USER (KEY_READ
// makes it refuse writing); the owner may always set it back. False on
// failure.
bool SetKeyAccess(const std::wstring& path, DWORD access, REGSAM view = kProgramView);

// Removes what runs leave in the registry: the resume record, the run mark
// and the suite's entries.
void DeleteProgramKeys();

// DeleteProgramKeys when the object is made and again when it goes away.
// Tests that make one hold CTest's "registry" lock.
class ScopedProgramKeys {
 public:
  ScopedProgramKeys();
  ~ScopedProgramKeys();
  ScopedProgramKeys(const ScopedProgramKeys&) = delete;
  ScopedProgramKeys& operator=(const ScopedProgramKeys&) = delete;
};

// A value of the download's resume record (ASCII text), or "" when it is
// missing.
std::string ReadResumeRecord(const std::wstring& name);

// Records the suite as installed, as its setup does: Version and InstallDir
// under HKLM SOFTWARE\Quillnest; false on failure.
bool MarkSuiteInstalled(const std::wstring& version, const std::wstring& installDir);

// Windows' proxy settings, as a user's network has them: the current user's
// Internet Settings name 127.0.0.1:port; port 0 switches the proxy off.
void SetSystemProxy(int port);

}  // namespace quilltest
