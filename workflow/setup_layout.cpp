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

namespace rerozadez {

const wchar_t kLayoutManifestName[] = L"SetupLayout.txt";

namespace {

const size_t kFullDigestLength = 32;
// A manifest is three short lines; anything larger is not one.
const DWORD kMaxManifestBytes = 64 * 1024;

std::string ConfigValue(const std::wstring& text, const wchar_t* key) {
  return GetSysUtil()->WideToAnsi(GetConfigValue(text, key).c_str());
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

bool ParseLayoutManifest(const std::string& bytes, LayoutManifest* manifest) {
  const std::wstring text = DecodeConfigText(bytes);
  manifest->version = ConfigValue(text, L"Version");
  manifest->size = ConfigValue(text, L"Size");
  manifest->md5 = ConfigValue(text, L"MD5");
  return ParseSizeText(GetConfigValue(text, L"Size")) > 0 &&
         manifest->md5.size() == kFullDigestLength &&
         manifest->md5.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
}

std::wstring LayoutSetupPath(const std::wstring& folder) {
  return folder + L"\\" + kSetupFileName;
}

Status WriteLayout(const std::wstring& setupPath, const std::wstring& folder,
                   const std::string& version) {
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
  if (!ParseLayoutManifest(bytes, manifest))
    return Status::Failed(StatusStep::kSourceNoManifest, "incomplete: " + LogText(path));
  return Status::Ok();
}

}  // namespace rerozadez
