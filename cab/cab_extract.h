#pragma once

#include <windows.h>

#include <fdi.h>

#include <string>

namespace cab {

// One extraction: the FDI handle, its error record, where the cabinet is and
// where its files go. The notification handler finds the context through the
// calling thread's CurrentCabContext slot, so one extraction runs per thread.
struct CabContext {
  CabContext();
  ~CabContext();
  CabContext(const CabContext&) = delete;
  CabContext& operator=(const CabContext&) = delete;

  // Runs the extraction passes into destinationFolder. False only when there
  // is no FDI handle; otherwise true, whatever the passes achieved.
  bool Extract(const wchar_t* destinationFolder);

  // Answers one FDI notification: the file handle for a copy (0 skips the
  // file, -1 aborts the pass), 1 after closing a file, 0 or -1 otherwise.
  INT_PTR OnCabNotify(FDINOTIFICATIONTYPE type, PFDINOTIFICATION notification);

  HFDI fdi;
  ERF error;
  std::wstring cabinetFolder;  // drive and folder, with the closing backslash
  std::wstring cabinetName;    // name and extension
  std::wstring destinationFolder;
  std::wstring recordedName;  // the cabinet the next pass opens
  int passCount;              // passes run by the last Extract
};

// Most passes one Extract runs. A cabinet naming itself as the next one in
// the set would otherwise be extracted for ever; the carried cabinet needs 2.
const int kMaxCabinetPasses = 16;

// Makes a context for cabinetPath and stores it in the calling thread's slot.
// Null when FDI cannot start or the file cannot be opened or is no cabinet.
CabContext* CreateCabContext(const std::wstring& cabinetPath);

// Unpacks every file of a cabinet into a folder, with sub-folders, the
// cabinet's dates, times and attributes.
class CCabExtract {
 public:
  CCabExtract();
  virtual ~CCabExtract();
  CCabExtract(const CCabExtract&) = delete;
  CCabExtract& operator=(const CCabExtract&) = delete;

  // True when cabinetPath could be opened as a cabinet (the files written
  // are the caller's to check); false, with nothing written, otherwise.
  bool ExtractAll(const std::wstring& cabinetPath, const std::wstring& destinationFolder);

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
// False when a folder cannot be created.
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
