#pragma once

#include <cstdint>
#include <string>

namespace rerozadez {

// Stateless helpers for the program's working folders, text conversion, file
// sizes and the Windows version, reached through GetSysUtil.
class SysUtil {
 public:
  // <temp>\Travik\rerozadez, creating whichever of the two levels is missing
  // (failures are ignored). No closing backslash.
  std::wstring GetTempWorkFolder() const;

  // %APPDATA%\Travik\rerozadez, creating whichever level is missing. When the
  // Travik level cannot be created, a message box ("info") shows its path
  // (an unattended run logs it); the path is returned all the same. No
  // closing backslash.
  std::wstring GetAppDataWorkFolder() const;

  // Text in the system ANSI code page to UTF-16, up to the first null. A null
  // pointer or a failed conversion gives an empty string.
  std::wstring AnsiToWide(const char* text) const;

  // UTF-16 to the system ANSI code page, up to the first null. Characters the
  // code page lacks become its default character.
  std::string WideToAnsi(const wchar_t* text) const;

  // Size in bytes of the named file; 0 when it cannot be opened for reading
  // (missing, or held open for writing by someone else). 64-bit, so a setup
  // of 4 GiB or more does not wrap.
  uint64_t GetFileLength(std::wstring path) const;

  // True on Windows XP, 2000 and older (version below 5.2).
  bool IsXpOrEarlier() const;
};

// The one SysUtil, created on first use and never destroyed.
SysUtil* GetSysUtil();

}  // namespace rerozadez
