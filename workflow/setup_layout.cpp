#include "workflow/setup_layout.h"

#include <windows.h>

#include "platform/diagnostic_log.h"
#include "platform/file_digest.h"
#include "platform/folders.h"
#include "platform/scoped.h"
#include "settings/config_file.h"
#include "settings/setup_settings.h"
#include "settings/sys_util.h"
#include "workflow/resume_state.h"
#include "workflow/version_compare.h"

namespace rerozadez {

const wchar_t kLayoutManifestName[] = L"SetupLayout.txt";

namespace {

const size_t kFullDigestLength = 32;
// A manifest is three short lines; anything larger is not one.
const DWORD kMaxManifestBytes = 64 * 1024;

// A text for the log's line: control characters (a CR LF inside a value,
// say) shown as "?", so that the text stays on its line.
std::string Shown(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
      c = '?';
  }
  return text;
}

// A manifest's size: decimal digits only, above 0 (18 digits always fit).
bool IsManifestSize(const std::string& text) {
  return !text.empty() && text.size() <= 18 &&
         text.find_first_not_of("0123456789") == std::string::npos &&
         _strtoi64(text.c_str(), nullptr, 10) > 0;
}

bool IsFullDigest(const std::string& text) {
  return text.size() == kFullDigestLength &&
         text.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
}

// Takes one "key=value" line of a manifest into it; false when the line is
// not one that FormatLayoutManifest writes, or repeats a key.
bool TakeManifestLine(const std::wstring& line, LayoutManifest* manifest, unsigned* seen) {
  // Printable ASCII only, so the narrow value is the line's text exactly.
  for (wchar_t c : line) {
    if (c < 0x20 || c > 0x7E)
      return false;
  }
  const size_t equals = line.find(L'=');
  if (equals == std::wstring::npos)
    return false;
  const std::wstring key = line.substr(0, equals);
  const std::string value(line.begin() + static_cast<std::ptrdiff_t>(equals) + 1, line.end());
  const unsigned bit = key == L"Version" ? 1u : key == L"Size" ? 2u : key == L"MD5" ? 4u : 0u;
  if (bit == 0 || (*seen & bit) != 0)
    return false;
  *seen |= bit;
  if (bit == 1u) {
    manifest->version = value;
    return value.empty() || IsPlainVersion(value);  // empty: no offer when it was made
  }
  if (bit == 2u) {
    manifest->size = value;
    return IsManifestSize(value);
  }
  manifest->md5 = value;
  return IsFullDigest(value);
}

// Writes bytes to a new file beside path, then puts it in path's place, so
// a reader never meets half a manifest.
Status ReplaceFileWith(const std::wstring& path, const std::string& bytes) {
  const std::wstring partial = path + L".partial";
  {
    ScopedHandle file(CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!file.IsValid() ||
        !WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
      const Status failed = Status::LastError(StatusStep::kLayoutWriteManifest, LogText(partial));
      file.Reset();
      DeleteFileW(partial.c_str());
      return failed;
    }
  }
  if (!MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    const Status failed = Status::LastError(StatusStep::kLayoutWriteManifest, LogText(path));
    DeleteFileW(partial.c_str());
    return failed;
  }
  return Status::Ok();
}

// Copies the setup beside its place in the folder, checks the copy's digest
// and then moves it into place.
Status CopyVerified(const std::wstring& setupPath, const std::wstring& target,
                    const std::string& digest) {
  const std::wstring partial = target + L".partial";
  if (!CopyFileW(setupPath.c_str(), partial.c_str(), FALSE)) {
    const Status failed = Status::LastError(StatusStep::kLayoutCopyFile, LogText(partial));
    DeleteFileW(partial.c_str());
    return failed;
  }
  std::string copied;
  Status status = GetFileMd5(partial, true, &copied);
  if (status.ok() && copied != digest) {
    status = Status::Failed(StatusStep::kLayoutCopyDiffers,
                            "MD5 " + copied + ", expected " + digest + ", " + LogText(partial));
  }
  if (status.ok() && !MoveFileExW(partial.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    status = Status::LastError(StatusStep::kLayoutCopyFile, LogText(target));
  }
  if (!status.ok()) {
    DeleteFileW(partial.c_str());
  }
  return status;
}

}  // namespace

std::string FormatLayoutManifest(const LayoutManifest& manifest) {
  return "Version=" + manifest.version + "\r\nSize=" + manifest.size + "\r\nMD5=" + manifest.md5 +
         "\r\n";
}

Status ParseLayoutManifest(const std::string& bytes, LayoutManifest* manifest) {
  const std::wstring text = DecodeConfigText(bytes);
  // Every line ended, as written: a manifest cut short is none.
  if (text.empty() || text.back() != L'\n')
    return Status::Failed(StatusStep::kSourceNoManifest, "its last line is not ended");
  LayoutManifest read;
  unsigned seen = 0;
  int number = 0;
  for (size_t start = 0; start < text.size();) {
    const size_t end = text.find(L'\n', start);
    std::wstring line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    if (!line.empty() && line.back() == L'\r')
      line.pop_back();
    if (!line.empty() && !TakeManifestLine(line, &read, &seen)) {
      return Status::Failed(StatusStep::kSourceNoManifest,
                            "line " + std::to_string(number) + " refused: " + Shown(LogText(line)));
    }
  }
  if (read.size.empty() || read.md5.empty())
    return Status::Failed(StatusStep::kSourceNoManifest, "no Size or no MD5 line");
  *manifest = read;
  return Status::Ok();
}

std::wstring LayoutSetupPath(const std::wstring& folder) {
  return folder + L"\\" + kSetupFileName;
}

Status WriteLayout(const std::wstring& setupPath, const std::wstring& folder,
                   const std::string& version) {
  // The manifest must read back as written: a version or none (no offer in
  // this run), never a text that could hold lines of its own.
  if (!version.empty() && !IsPlainVersion(version)) {
    return Status::Failed(StatusStep::kLayoutWriteManifest,
                          "the offered version \"" + Shown(version) + "\" is not a.b.c.d");
  }
  Status status = MakeFolderTree(folder, StatusStep::kLayoutMakeFolder);
  LayoutManifest manifest = {version, std::to_string(GetSysUtil()->GetFileLength(setupPath)), ""};
  if (status.ok())
    status = GetFileMd5(setupPath, true, &manifest.md5);
  // An earlier manifest must not outlive the setup it described.
  const std::wstring manifestPath = folder + L"\\" + kLayoutManifestName;
  if (status.ok() && !DeleteFileW(manifestPath.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
    status = Status::LastError(StatusStep::kLayoutWriteManifest, LogText(manifestPath));
  if (status.ok())
    status = CopyVerified(setupPath, LayoutSetupPath(folder), manifest.md5);
  if (status.ok())
    status = ReplaceFileWith(manifestPath, FormatLayoutManifest(manifest));
  if (status.ok()) {
    LogLine("layout: %s holds version %s, %s bytes, MD5 %s", LogText(folder).c_str(),
            version.c_str(), manifest.size.c_str(), manifest.md5.c_str());
  }
  return status;
}

Status ReadLayoutManifest(const std::wstring& folder, LayoutManifest* manifest) {
  const std::wstring path = folder + L"\\" + kLayoutManifestName;
  ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid())
    return Status::LastError(StatusStep::kSourceNoManifest, LogText(path));
  std::string bytes(kMaxManifestBytes, '\0');
  DWORD read = 0;
  if (!ReadFile(file.Get(), &bytes[0], kMaxManifestBytes, &read, nullptr))
    return Status::LastError(StatusStep::kSourceNoManifest, LogText(path));
  bytes.resize(read);
  const Status parsed = ParseLayoutManifest(bytes, manifest);
  if (!parsed.ok())
    return Status::Failed(StatusStep::kSourceNoManifest, parsed.detail + ": " + LogText(path));
  return Status::Ok();
}

}  // namespace rerozadez
