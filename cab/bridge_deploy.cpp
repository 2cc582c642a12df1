#include "cab/bridge_deploy.h"

#include <cstdint>
#include <string>
#include <vector>

#include "bridge_cabinet_digest.h"
#include "cab/cab_extract.h"
#include "cab/cabinet_header.h"
#include "platform/file_digest.h"
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
std::vector<HANDLE>& HeldTools() {
  static std::vector<HANDLE>* const held = new std::vector<HANDLE>();
  return *held;
}

// Writes the module's cabinet resource to path. Any failure writes nothing.
void WriteBridgeCabinet(HINSTANCE module, const std::wstring& path) {
  HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(kBridgeCabinetId), kBridgeCabinetType);
  if (resource == nullptr) {
    return;
  }
  DWORD size = SizeofResource(module, resource);
  if (size == 0) {
    return;
  }
  HGLOBAL loaded = LoadResource(module, resource);
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes == nullptr) {
    return;
  }
  ScopedHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) {
    return;
  }
  DWORD written = 0;
  WriteFile(file.Get(), bytes, size, &written, nullptr);
}

// Opens path for reading, sharing reading only, so that no process can
// write, rename or delete it while the handle is open, and checks that it
// is the file the build packed (size and MD5). The handle when it is,
// invalid otherwise. bytes, when given, receives the file's content.
HANDLE HoldPackedFile(const std::wstring& path, const PackedFile& packed, std::string* bytes) {
  ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size;
  if (!file.IsValid() || !GetFileSizeEx(file.Get(), &size) ||
      static_cast<uint64_t>(size.QuadPart) != packed.size) {
    return INVALID_HANDLE_VALUE;
  }
  if (bytes != nullptr) {
    bytes->assign(static_cast<size_t>(packed.size), '\0');
    DWORD read = 0;
    if (!bytes->empty() &&
        (!ReadFile(file.Get(), &(*bytes)[0], static_cast<DWORD>(bytes->size()), &read, nullptr) ||
         read != bytes->size())) {
      return INVALID_HANDLE_VALUE;
    }
  }
  // A second reader is let in by the held handle's sharing; writers are not.
  std::string digest;
  if (!GetFileMd5(path, true, &digest).ok() || digest != packed.md5) {
    return INVALID_HANDLE_VALUE;
  }
  return file.Detach();
}

// Unpacks the cabinet at cabinetPath into folder when it is the one the
// build packed and its header is sound. Wine's cabinet library ends the
// whole process on some corrupt cabinets, so nothing else reaches it.
void ExtractPackedCabinet(const std::wstring& cabinetPath, const std::wstring& folder) {
  std::string bytes;
  // Held while it is checked and unpacked: FDI reads what was checked.
  ScopedHandle cabinet(HoldPackedFile(cabinetPath, kPackedCabinet, &bytes));
  if (!cabinet.IsValid() || !cab::IsCabinetHeaderSound(bytes)) {
    return;
  }
  cab::CCabExtract extractor;
  extractor.ExtractAll(cabinetPath, folder + L"\\");
}

}  // namespace

void ReleaseBridgeTools() {
  for (HANDLE file : HeldTools()) {
    CloseHandle(file);
  }
  HeldTools().clear();
}

bool DeployBridgeTools(HINSTANCE module) {
  // Our own hold from an earlier deployment would keep the files from being
  // replaced; so would a bridge tool left running by an earlier start.
  ReleaseBridgeTools();
  GetProcessUtil()->KillProcessesByName(L"adb.exe");

  const std::wstring folder = GetSysUtil()->GetTempWorkFolder();
  const std::wstring cabinetPath = folder + L"\\" + kPackedCabinet.name;
  GetSetupSettings()->bridgeToolPath = folder + L"\\" + kPackedTools[0].name;

  WriteBridgeCabinet(module, cabinetPath);
  ExtractPackedCabinet(cabinetPath, folder);

  // The tool runs elevated from a folder the user can write: each file is
  // held from its check to the end of the program, so the files started
  // and loaded are the ones the build packed. Held rather than checked
  // again before each start, because the tool loads its libraries itself
  // and may leave a server running that loads them later.
  for (const PackedFile& packed : kPackedTools) {
    HANDLE file = HoldPackedFile(folder + L"\\" + packed.name, packed, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      ReleaseBridgeTools();
      // Nothing unchecked may be started in its place.
      GetSetupSettings()->bridgeToolPath.clear();
      return false;
    }
    HeldTools().push_back(file);
  }
  return true;
}

}  // namespace rerozadez
