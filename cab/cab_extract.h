#pragma once

#include <windows.h>

#include <fdi.h>

#include <string>

#include "platform/status.h"

namespace cab {

// One extraction: the FDI handle, its error record, where the cabinet is and
// where its files go. The notification handler finds the context through the
// calling thread's CurrentCabContext slot, so one extraction runs per thread.
struct CabContext {
  CabContext();
  ~CabContext();
  CabContext(const CabContext&) = delete;
  CabContext& operator=(const CabContext&) = delete;

  // Runs the extraction passes into destinationFolder. Ok, or the first
  // failure: no FDI handle (kCabinetStartFdi), a folder or file that could
  // not be made (kCabinetMakeFolder, kCabinetCreateFile: Windows' code; the
  // other files still come out), or FDI's error (kCabinetCopy) for the
  // cabinet opened first or a next cabinet that a header named. A pass that
  // finds no cabinet under the last closed file's name is the usual end.
  rerozadez::Status Extract(const wchar_t* destinationFolder);

  // Answers one FDI notification: the file handle for a copy (0 skips the
  // file, -1 aborts the pass), 1 after closing a file, 0 or -1 otherwise.
  INT_PTR OnCabNotify(FDINOTIFICATIONTYPE type, PFDINOTIFICATION notification);
  // The copy notification: the new target file's descriptor, 0 to skip the
  // file, -1 to abort the pass.
  INT_PTR OpenTargetFile(PFDINOTIFICATION notification);
  // Keeps failure unless an earlier one of this Extract is kept already.
  void NoteCopyFailure(rerozadez::Status failure);

  HFDI fdi;
  ERF error;
  std::wstring cabinetFolder;  // drive and folder, with the closing backslash
  std::wstring cabinetName;    // name and extension
  std::wstring destinationFolder;
  std::wstring recordedName;      // the cabinet the next pass opens
  bool recordedFromHeader;        // recordedName is a next cabinet, not a closed file
  int passCount;                  // passes run by the last Extract
  rerozadez::Status copyFailure;  // the first folder or file the last Extract could not make
};

// Most passes one Extract runs. A cabinet naming itself as the next one in
// the set would otherwise be extracted for ever; the carried cabinet needs 2.
const int kMaxCabinetPasses = 16;

// Makes a context for cabinetPath and stores it in the calling thread's slot.
// Null, with status saying why, when FDI cannot start (kCabinetStartFdi,
// FDI's error), the file cannot be opened (kCabinetOpen, Windows' code) or
// is no cabinet (kCabinetNotACabinet); status is Ok otherwise.
CabContext* CreateCabContext(const std::wstring& cabinetPath, rerozadez::Status* status);

// Unpacks every file of a cabinet into a folder, with sub-folders, the
// cabinet's dates, times and attributes.
class CCabExtract {
 public:
  CCabExtract();
  virtual ~CCabExtract();
  CCabExtract(const CCabExtract&) = delete;
  CCabExtract& operator=(const CCabExtract&) = delete;

  // Ok when cabinetPath was extracted (the files written are the caller's
  // to check). Otherwise what CreateCabContext gave, with nothing written,
  // or what Extract gave. Files with unsafe names are skipped silently.
  rerozadez::Status ExtractAll(const std::wstring& cabinetPath,
                               const std::wstring& destinationFolder);

  // The context of the last ExtractAll, or null.
  const CabContext* Context() const { return context_; }

 private:
  CabContext* context_;
};

// True when a name stored in a cabinet may be written under the destination
// folder: a relative path of ordinary names. Refused: empty names or parts,
// absolute paths, drives and stream names (":"), "." and ".." parts (and
// parts of dots and spaces only, which Windows trims to those), device names
// such as CON or LPT1, and characters Windows forbids in file names.
bool IsSafeCabinetName(const std::wstring& name);

// Creates every missing folder along path (backslash-separated). The server
// and share of a \\server\share path and a drive such as C: are passed over.
// False, with CreateDirectory's error as the last error, when a folder
// cannot be created.
bool MakeDirectories(const std::wstring& path);

// FDI callbacks over the runtime's low-level file functions. Names arrive as
// UTF-8.
FNALLOC(CabAlloc);
FNFREE(CabFree);
FNOPEN(CabOpen);
FNREAD(CabRead);
FNWRITE(CabWrite);
FNCLOSE(CabClose);
FNSEEK(CabSeek);
FNFDINOTIFY(CabNotify);

}  // namespace cab
