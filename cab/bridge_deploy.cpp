#include "cab/bridge_deploy.h"

#include <cstdint>
#include <string>
#include <vector>

#include "bridge_cabinet_digest.h"
#include "cab/cab_extract.h"
#include "cab/cabinet_header.h"
#include "platform/diagnostic_log.h"
#include "platform/file_digest.h"
#include "platform/process_instance.h"
#include "platform/process_util.h"
#include "platform/scoped.h"
#include "settings/setup_settings.h"
#include "settings/sys_util.h"

namespace rerozadez {
namespace {

// The cabinet resource carrying adb.exe, AdbWinApi.dll and AdbWinUsbApi.dll.
const wchar_t kBridgeCabinetType[] = L"BIN";
const WORD kBridgeCabinetId = 176;

// A file as the build packed it.
struct PackedFile {
  const wchar_t* name;
  uint64_t size;
  const char* md5;
};

const PackedFile kPackedCabinet = {L"res.cab", QUILL_BRIDGE_CABINET_SIZE, QUILL_BRIDGE_CABINET_MD5};
const PackedFile kPackedTools[] = {QUILL_BRIDGE_TOOL_FILES};

// The deployed tool files, held from their check until the program ends (or
// the next deployment). Never destroyed: the process's end closes them.
struct HeldToolFiles {
  std::vector<HANDLE> handles;
};

std::vector<HANDLE>& HeldTools() {
  return ProcessInstance<HeldToolFiles>()->handles;
}

// Where deployment puts adb.exe: the temporary working folder.
std::wstring CarriedBridgeToolPath() {
  return GetSysUtil()->GetTempWorkFolder() + L"\\" + kPackedTools[0].name;
}

// Writes the module's cabinet resource to path. Nothing is written when the
// resource cannot be had; a partial file fails the check that follows.
Status WriteBridgeCabinet(HINSTANCE module, const std::wstring& path) {
  const std::string detail = LogText(path);
  HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(kBridgeCabinetId), kBridgeCabinetType);
  if (resource == nullptr) {
    return Status::LastError(StatusStep::kBridgeFindResource, detail);
  }
  DWORD size = SizeofResource(module, resource);
  if (size == 0) {
    return Status::LastError(StatusStep::kBridgeFindResource, detail);
  }
  HGLOBAL loaded = LoadResource(module, resource);
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes == nullptr) {
    return Status::LastError(StatusStep::kBridgeFindResource, detail);
  }
  ScopedHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) {
    return Status::LastError(StatusStep::kBridgeCreateCabinet, detail);
  }
  DWORD written = 0;
  if (!WriteFile(file.Get(), bytes, size, &written, nullptr)) {
    return Status::LastError(StatusStep::kBridgeWriteCabinet, detail);
  }
  if (written != size) {
    return Status::Failed(
        StatusStep::kBridgeWriteCabinet,
        detail + ": " + std::to_string(written) + " of " + std::to_string(size) + " bytes written");
  }
  return Status::Ok();
}

// Opens path for reading, sharing reading only, so that no process can
// write, rename or delete it while the handle is open, and checks that it
// is the file the build packed (size and MD5). When it is, held owns the
// handle and bytes, when given, receives the file's content.
Status HoldPackedFile(const std::wstring& path, const PackedFile& packed, ScopedHandle* held,
                      std::string* bytes) {
  const std::string detail = LogText(path);
  ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) {
    return Status::LastError(StatusStep::kBridgeOpenFile, detail);
  }
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.Get(), &size)) {
    return Status::LastError(StatusStep::kBridgeFileSize, detail);
  }
  if (static_cast<uint64_t>(size.QuadPart) != packed.size) {
    return Status::Failed(StatusStep::kBridgeFileSize,
                          detail + ": " + std::to_string(size.QuadPart) + " bytes, packed " +
                              std::to_string(packed.size));
  }
  if (bytes != nullptr) {
    bytes->assign(static_cast<size_t>(packed.size), '\0');
    DWORD read = 0;
    if (!bytes->empty() &&
        !ReadFile(file.Get(), &(*bytes)[0], static_cast<DWORD>(bytes->size()), &read, nullptr)) {
      return Status::LastError(StatusStep::kBridgeReadFile, detail);
    }
    if (read != bytes->size()) {
      return Status::Failed(StatusStep::kBridgeReadFile, detail + ": short read");
    }
  }
  // A second reader is let in by the held handle's sharing; writers are not.
  std::string digest;
  const Status hashed = GetFileMd5(path, true, &digest);
  if (!hashed.ok()) {
    return hashed;
  }
  if (digest != packed.md5) {
    return Status::Failed(StatusStep::kBridgeFileDigest,
                          detail + ": MD5 " + digest + ", packed " + packed.md5);
  }
  held->Reset(file.Detach());
  return Status::Ok();
}

// Unpacks the cabinet at cabinetPath into folder when it is the one the
// build packed and its header is sound. Wine's cabinet library ends the
// whole process on some corrupt cabinets, so nothing else reaches it.
Status ExtractPackedCabinet(const std::wstring& cabinetPath, const std::wstring& folder) {
  std::string bytes;
  // Held while it is checked and unpacked: FDI reads what was checked.
  ScopedHandle cabinet;
  const Status held = HoldPackedFile(cabinetPath, kPackedCabinet, &cabinet, &bytes);
  if (!held.ok()) {
    return held;
  }
  if (!cab::IsCabinetHeaderSound(bytes)) {
    return Status::Failed(StatusStep::kBridgeCabinetHeader, LogText(cabinetPath));
  }
  cab::CCabExtract extractor;
  return extractor.ExtractAll(cabinetPath, folder + L"\\");
}

// Holds every tool file in folder (HeldTools) while each is the packed one;
// the first that is not ends the walk.
Status HoldPackedTools(const std::wstring& folder) {
  for (const PackedFile& packed : kPackedTools) {
    ScopedHandle file;
    const Status held = HoldPackedFile(folder + L"\\" + packed.name, packed, &file, nullptr);
    if (!held.ok()) {
      return held;
    }
    HeldTools().push_back(file.Detach());
  }
  return Status::Ok();
}

}  // namespace

void EndCarriedBridgeTool() {
  // By the path, not the name: a developer's adb server (the Android SDK's
  // adb.exe) is none of ours.
  GetProcessUtil()->EndProcessesOfImage(CarriedBridgeToolPath());
}

void ReleaseBridgeTools() {
  for (HANDLE file : HeldTools()) {
    CloseHandle(file);
  }
  HeldTools().clear();
}

Status DeployBridgeTools(HINSTANCE module) {
  // Our own hold from an earlier deployment would keep the files from being
  // replaced; so would a bridge tool left running by an earlier start.
  ReleaseBridgeTools();
  EndCarriedBridgeTool();

  const std::wstring folder = GetSysUtil()->GetTempWorkFolder();
  const std::wstring cabinetPath = folder + L"\\" + kPackedCabinet.name;
  GetSetupSettings()->bridgeToolPath = CarriedBridgeToolPath();

  Status unpacked = WriteBridgeCabinet(module, cabinetPath);
  if (unpacked.ok()) {
    unpacked = ExtractPackedCabinet(cabinetPath, folder);
  }

  // The tool runs elevated from a folder the user can write: each file is
  // held from its check to the end of the program, so the files started
  // and loaded are the ones the build packed. Held rather than checked
  // again before each start, because the tool loads its libraries itself
  // and may leave a server running that loads them later.
  const Status held = HoldPackedTools(folder);
  if (held.ok()) {
    if (!unpacked.ok()) {
      LogStatus("unpacking the bridge cabinet (the packed tools already there serve)", unpacked);
    }
    return Status::Ok();
  }
  ReleaseBridgeTools();
  // Nothing unchecked may be started in its place.
  GetSetupSettings()->bridgeToolPath.clear();
  // A cabinet that could not be unpacked explains the tool files it left.
  const Status failure = unpacked.ok() ? held : unpacked;
  LogStatus("bridge tool deployment", failure);
  return failure;
}

}  // namespace rerozadez
