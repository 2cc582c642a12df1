; The same bootstrapper's download: one file over HTTP, then it ends with the
; HRESULT's low byte as its exit code (0: downloaded). Debian's NSISdl cannot
; connect under Wine (it compares the connect error with POSIX numbers), so
; this calls URLDownloadToFileW through the System plug-in, as distributors
; do. makensis -DOUT=<exe> -DURL=<url> -DFILE=<windows path> download.nsi
Unicode true
Name "QuillNsisDownload"
OutFile "${OUT}"
RequestExecutionLevel user
SetCompressor /SOLID lzma
SilentInstall silent
Section
  System::Call 'urlmon::URLDownloadToFileW(p 0, w "${URL}", w "${FILE}", i 0, p 0) i .r0'
  SetErrorLevel $0
SectionEnd
