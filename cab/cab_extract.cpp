#include "cab/cab_extract.h"

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "platform/diagnostic_log.h"
#include "platform/scoped.h"
#include "platform/text_encoding.h"

namespace cab {
namespace {

// The extraction a notification belongs to, per thread. Allocated on first
// use; FDI runs its callbacks on the thread that called FDICopy.
DWORD g_contextSlot = TLS_OUT_OF_INDEXES;
bool g_contextSlotAllocated = false;

void SetCurrentCabContext(CabContext* context) {
  if (!g_contextSlotAllocated) {
    g_contextSlot = TlsAlloc();
    g_contextSlotAllocated = true;
  }
  if (g_contextSlot != TLS_OUT_OF_INDEXES) {
    TlsSetValue(g_contextSlot, context);
  }
}

CabContext* GetCurrentCabContext() {
  if (!g_contextSlotAllocated || g_contextSlot == TLS_OUT_OF_INDEXES) {
    return nullptr;
  }
  return static_cast<CabContext*>(TlsGetValue(g_contextSlot));
}

// Longest target path, the buffer size the extracted files' paths are made in.
const size_t kMaxTargetPath = 2048;

// Path parts as the runtime splits them. XP's msvcrt has only the unchecked
// _wsplitpath, so every part gets a buffer as long as the whole path (no part
// can be longer), and parts beyond the usual limits count as a failure.
struct PathParts {
  std::wstring drive, folder, name, extension;
};

bool SplitPath(const std::wstring& path, PathParts* parts) {
  if (path.size() >= kMaxTargetPath) {
    return false;
  }
  std::vector<wchar_t> drive(path.size() + 1), folder(path.size() + 1), name(path.size() + 1),
      extension(path.size() + 1);
  _wsplitpath(path.c_str(), drive.data(), folder.data(), name.data(), extension.data());
  parts->drive = drive.data();
  parts->folder = folder.data();
  parts->name = name.data();
  parts->extension = extension.data();
  return parts->drive.size() < _MAX_DRIVE && parts->folder.size() < _MAX_DIR &&
         parts->name.size() < _MAX_FNAME && parts->extension.size() < _MAX_EXT;
}

// destinationFolder + name, a backslash put between them when the folder has
// no closing one. False when the result would not fit kMaxTargetPath.
bool MakeTargetPath(const std::wstring& folder, const std::wstring& name, std::wstring* target) {
  if (folder.size() + 1 + name.size() >= kMaxTargetPath) {
    return false;
  }
  wchar_t buffer[kMaxTargetPath] = {};
  _wmakepath(buffer, nullptr, folder.c_str(), name.c_str(), nullptr);
  *target = buffer;
  return true;
}

bool IsSeparator(wchar_t c) {
  return c == L'\\' || c == L'/';
}

bool IsDeviceName(const std::wstring& part) {
  // Windows maps these names to devices in every folder, with any extension.
  std::wstring base = part.substr(0, part.find(L'.'));
  while (!base.empty() && base.back() == L' ') {
    base.pop_back();
  }
  for (wchar_t& c : base) {
    c = static_cast<wchar_t>(towupper(c));
  }
  static const wchar_t* const kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
  for (const wchar_t* device : kDevices) {
    if (base == device) {
      return true;
    }
  }
  return base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0) &&
         base[3] >= L'1' && base[3] <= L'9';
}

bool IsSafeNamePart(const std::wstring& part) {
  if (part.empty() || part.find_first_not_of(L". ") == std::wstring::npos) {
    return false;
  }
  for (wchar_t c : part) {
    if (c < 0x20 || wcschr(L"<>:\"|?*", c) != nullptr) {
      return false;
    }
  }
  return !IsDeviceName(part);
}

// Gives the extracted file the cabinet's date and time (stored as local
// time) as creation and last-write time. Failures leave the times alone.
void SetFileTimes(const std::wstring& path, USHORT date, USHORT time) {
  rerozadez::ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                           FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) {
    return;
  }
  FILETIME local, utc;
  if (DosDateTimeToFileTime(date, time, &local) && LocalFileTimeToFileTime(&local, &utc)) {
    SetFileTime(file.Get(), &utc, nullptr, &utc);
  }
}

}  // namespace

bool IsSafeCabinetName(const std::wstring& name) {
  if (name.empty()) {
    return false;
  }
  size_t start = 0;
  while (true) {
    size_t end = start;
    while (end < name.size() && !IsSeparator(name[end])) {
      ++end;
    }
    if (!IsSafeNamePart(name.substr(start, end - start))) {
      return false;  // also a leading, doubled or closing separator
    }
    if (end == name.size()) {
      return true;
    }
    start = end + 1;
  }
}

bool MakeDirectories(const std::wstring& path) {
  size_t start = 0;
  if (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\') {
    // \\server\share\ names no folder that could be created.
    size_t share = path.find(L'\\', 2);
    if (share == std::wstring::npos) {
      return true;
    }
    size_t afterShare = path.find(L'\\', share + 1);
    if (afterShare == std::wstring::npos) {
      return true;
    }
    start = afterShare + 1;
  }
  while (start <= path.size()) {
    size_t end = start;
    while (end < path.size() && !IsSeparator(path[end])) {
      ++end;
    }
    std::wstring prefix = path.substr(0, end);
    bool isDrive = prefix.size() == 2 && prefix[1] == L':';
    if (end > start && !isDrive && _waccess(prefix.c_str(), 0) != 0 &&
        !CreateDirectoryW(prefix.c_str(), nullptr)) {
      const DWORD createError = GetLastError();
      // Someone else may have made it in between.
      DWORD attributes = GetFileAttributesW(prefix.c_str());
      if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetLastError(createError);
        return false;
      }
    }
    if (end == path.size()) {
      break;
    }
    start = end + 1;
  }
  return true;
}

FNALLOC(CabAlloc) {
  return new (std::nothrow) char[cb];
}

FNFREE(CabFree) {
  delete[] static_cast<char*>(pv);
}

FNOPEN(CabOpen) {
  (void)pmode;
  std::wstring path = rerozadez::Utf8ToWide(pszFile);
  if (path.empty()) {
    return -1;
  }
  if (oflag & _O_CREAT) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  return _wsopen(path.c_str(), oflag, _SH_DENYNO, _S_IREAD);
}

FNREAD(CabRead) {
  return static_cast<UINT>(_read(static_cast<int>(hf), pv, cb));
}

FNWRITE(CabWrite) {
  return static_cast<UINT>(_write(static_cast<int>(hf), pv, cb));
}

FNCLOSE(CabClose) {
  return _close(static_cast<int>(hf));
}

FNSEEK(CabSeek) {
  return _lseek(static_cast<int>(hf), dist, seektype);
}

FNFDINOTIFY(CabNotify) {
  CabContext* context = GetCurrentCabContext();
  if (context == nullptr) {
    return -1;
  }
  return context->OnCabNotify(fdint, pfdin);
}

CabContext::CabContext() : fdi(nullptr), error(), recordedFromHeader(false), passCount(0) {}

CabContext::~CabContext() {
  if (fdi != nullptr) {
    FDIDestroy(fdi);
  }
  if (GetCurrentCabContext() == this) {
    SetCurrentCabContext(nullptr);
  }
}

CabContext* CreateCabContext(const std::wstring& cabinetPath, rerozadez::Status* status) {
  using rerozadez::Status;
  using rerozadez::StatusStep;
  const std::string detail = rerozadez::LogText(cabinetPath);
  PathParts parts;
  if (cabinetPath.empty() || !SplitPath(cabinetPath, &parts)) {
    *status = Status::Failed(StatusStep::kCabinetOpen, detail + ": not a usable path");
    return nullptr;
  }
  std::unique_ptr<CabContext> context(new CabContext());
  SetCurrentCabContext(context.get());
  context->fdi = FDICreate(CabAlloc, CabFree, CabOpen, CabRead, CabWrite, CabClose, CabSeek,
                           cpuUNKNOWN, &context->error);
  if (context->fdi == nullptr) {
    *status = Status::Fdi(StatusStep::kCabinetStartFdi, context->error.erfOper, detail);
    return nullptr;
  }
  std::string pathUtf8 = rerozadez::WideToUtf8(cabinetPath.c_str());
  INT_PTR file = CabOpen(&pathUtf8[0], _O_BINARY | _O_RDONLY | _O_SEQUENTIAL, 0);
  if (file == -1) {
    *status = Status::Windows(StatusStep::kCabinetOpen, _doserrno, detail);
    return nullptr;
  }
  FDICABINETINFO info = {};
  BOOL isCabinet = FDIIsCabinet(context->fdi, file, &info);
  CabClose(file);
  if (!isCabinet) {
    *status = Status::Failed(StatusStep::kCabinetNotACabinet, detail);
    return nullptr;
  }
  context->cabinetName = parts.name + parts.extension;
  context->cabinetFolder = parts.drive + parts.folder;
  *status = Status::Ok();
  return context.release();
}

rerozadez::Status CabContext::Extract(const wchar_t* destination) {
  if (fdi == nullptr) {
    return rerozadez::Status::Failed(rerozadez::StatusStep::kCabinetStartFdi);
  }
  destinationFolder = destination != nullptr ? destination : L"";
  copyFailure = rerozadez::Status::Ok();
  rerozadez::Status copied;
  std::wstring name = cabinetName;
  // A failed pass counts when its cabinet was the one asked for or one a
  // header named; a closed file's name failing is the usual end.
  bool nameFromHeader = true;
  const std::string folderUtf8 = rerozadez::WideToUtf8(cabinetFolder.c_str());
  passCount = 0;
  // Each pass opens the cabinet the previous one recorded: the next cabinet
  // of a set, or (after files were closed) the last file's name, which is no
  // cabinet and ends the loop. The bound ends a cabinet that names itself.
  while (passCount < kMaxCabinetPasses) {
    recordedName.clear();
    recordedFromHeader = false;
    ++passCount;
    SetCurrentCabContext(this);
    std::string nameUtf8 = rerozadez::WideToUtf8(name.c_str());
    std::string folder = folderUtf8;
    if (!FDICopy(fdi, &nameUtf8[0], &folder[0], 0, CabNotify, nullptr, this)) {
      if (nameFromHeader) {
        copied = rerozadez::Status::Fdi(rerozadez::StatusStep::kCabinetCopy, error.erfOper,
                                        rerozadez::LogText(cabinetFolder + name));
      }
      break;
    }
    name = recordedName;
    nameFromHeader = recordedFromHeader;
  }
  return copyFailure.ok() ? copied : copyFailure;
}

INT_PTR CabContext::OnCabNotify(FDINOTIFICATIONTYPE type, PFDINOTIFICATION notification) {
  switch (type) {
    case fdintCABINET_INFO:
      if (recordedName.empty()) {
        recordedName = rerozadez::Utf8ToWide(notification->psz1);
        recordedFromHeader = !recordedName.empty();
      }
      return 0;

    case fdintCOPY_FILE:
      return OpenTargetFile(notification);

    case fdintCLOSE_FILE_INFO: {
      recordedName = rerozadez::Utf8ToWide(notification->psz1);
      recordedFromHeader = false;
      std::wstring target;
      bool haveTarget = MakeTargetPath(destinationFolder, recordedName, &target);
      _close(static_cast<int>(notification->hf));
      if (haveTarget) {
        SetFileTimes(target, notification->date, notification->time);
        // Times first: a read-only file could not take them afterwards.
        SetFileAttributesW(target.c_str(), notification->attribs &
                                               (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE));
      }
      return 1;
    }

    case fdintNEXT_CABINET:
      recordedName = rerozadez::Utf8ToWide(notification->psz1);
      recordedFromHeader = true;
      if (notification->fdie != FDIERROR_NONE) {
        // FDI's own record would only say that the pass was aborted.
        NoteCopyFailure(rerozadez::Status::Fdi(rerozadez::StatusStep::kCabinetCopy,
                                               notification->fdie,
                                               rerozadez::LogText(cabinetFolder + recordedName)));
        return -1;
      }
      return 0;

    default:
      return 0;
  }
}

INT_PTR CabContext::OpenTargetFile(PFDINOTIFICATION notification) {
  std::wstring name = rerozadez::Utf8ToWide(notification->psz1);
  std::wstring target;
  PathParts parts;
  // A name that would land outside the destination folder, on a device
  // or in a stream is skipped; the other files still come out.
  if (!IsSafeCabinetName(name) || !MakeTargetPath(destinationFolder, name, &target) ||
      !SplitPath(target, &parts)) {
    return 0;
  }
  std::wstring folder = parts.drive + parts.folder;
  if (!folder.empty() && !MakeDirectories(folder)) {
    NoteCopyFailure(rerozadez::Status::LastError(rerozadez::StatusStep::kCabinetMakeFolder,
                                                 rerozadez::LogText(folder)));
    return -1;
  }
  DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    SetFileAttributesW(target.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  }
  // Descriptor 0 cannot come back here: FDI holds the cabinet open, and
  // a free 0 went to it.
  int file = _wsopen(target.c_str(), _O_BINARY | _O_CREAT | _O_TRUNC | _O_WRONLY | _O_SEQUENTIAL,
                     _SH_DENYNO, _S_IREAD | _S_IWRITE);
  if (file == -1) {
    NoteCopyFailure(rerozadez::Status::Windows(rerozadez::StatusStep::kCabinetCreateFile, _doserrno,
                                               rerozadez::LogText(target)));
    return 0;
  }
  return file;
}

void CabContext::NoteCopyFailure(rerozadez::Status failure) {
  if (copyFailure.ok()) {
    copyFailure = std::move(failure);
  }
}

CCabExtract::CCabExtract() : context_(nullptr) {}

CCabExtract::~CCabExtract() {
  delete context_;
}

rerozadez::Status CCabExtract::ExtractAll(const std::wstring& cabinetPath,
                                          const std::wstring& destinationFolder) {
  delete context_;
  rerozadez::Status opened;
  context_ = CreateCabContext(cabinetPath, &opened);
  if (context_ == nullptr) {
    return opened;
  }
  return context_->Extract(destinationFolder.c_str());
}

}  // namespace cab
