#pragma once

// The offline layout: a verified full setup and its manifest in a folder
// (local or a share) that PCs without Internet install from.

#include <string>

#include "platform/status.h"

namespace rerozadez {

// The manifest's file name beside the setup in a layout folder.
extern const wchar_t kLayoutManifestName[];

// What a manifest records of the setup beside it. Texts as the package
// service gave them; size is decimal, md5 the full hexadecimal digest.
struct LayoutManifest {
  std::string version;
  std::string size;
  std::string md5;
};

// The manifest's text: "Version=", "Size=" and "MD5=" lines, CR LF ended.
std::string FormatLayoutManifest(const LayoutManifest& manifest);
// Reads a manifest's text (ANSI or UTF-16, as configuration files are)
// exactly as FormatLayoutManifest writes it: "Size=" a positive decimal that
// fits, "MD5=" 32 hexadecimal digits, "Version=" a.b.c.d or nothing (the
// line may be absent), each at most once, in any order, every line ended;
// blank lines are passed over. Else kSourceNoManifest naming the line, and
// manifest untouched.
Status ParseLayoutManifest(const std::string& bytes, LayoutManifest* manifest);

// The setup file in a layout folder (<folder>\Quillnest_SetUp_mini.exe).
std::wstring LayoutSetupPath(const std::wstring& folder);

// Copies a verified setup (held by the caller) into folder, creating it, and
// writes its manifest with version (a.b.c.d, or empty when none was offered;
// any other text is refused with kLayoutWriteManifest). The copy is hashed again and must equal
// the setup's digest; a failed copy leaves no manifest naming it. Ok, or the
// kLayout... step with Windows' code.
Status WriteLayout(const std::wstring& setupPath, const std::wstring& folder,
                   const std::string& version);

// The manifest of folder; kSourceNoManifest when it is missing, unreadable or
// incomplete.
Status ReadLayoutManifest(const std::wstring& folder, LayoutManifest* manifest);

}  // namespace rerozadez
