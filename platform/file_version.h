#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace rerozadez {

// A program file's version resource as one block for VerQueryValueW.
// ERROR_SUCCESS with block filled, or Windows' code when the file has none
// or cannot be read (block left empty).
DWORD ReadVersionBlock(const std::wstring& path, std::vector<BYTE>* block);

// The text at query ("\\StringFileInfo\\080404b0\\ProductVersion") in a
// block from ReadVersionBlock; empty when the block has none.
std::wstring VersionBlockText(const std::vector<BYTE>& block, const wchar_t* query);

// What a program file says it is.
struct FileVersion {
  std::wstring productName;  // in the block's first language; empty when it has none
  WORD numbers[4];           // the fixed file version a.b.c.d; zeros when it has none
};

// The file's product name and fixed file version: ERROR_SUCCESS, or the
// code of ReadVersionBlock when the file has no version resource.
DWORD ReadFileVersion(const std::wstring& path, FileVersion* version);

// "a.b.c.d" of a file version's numbers.
std::string FormatFileVersion(const WORD numbers[4]);

}  // namespace rerozadez
