#pragma once

#include <windows.h>

#include <atomic>
#include <string>

namespace rerozadez {

// Where a run's log stops growing: enough for hundreds of passes of the
// download route, small enough to mail.
const DWORD kDiagnosticLogMaxBytes = 256 * 1024;

// The run's diagnostic log for support: UTF-8 text, one line per event, each
// with its local time and the writing thread's id. Any thread may write; a
// line is never split by another. Nothing here throws or shows anything: a
// log that cannot be written is silently absent.
class DiagnosticLog {
 public:
  DiagnosticLog();

  // Starts a new log at path, replacing an earlier run's file. Past maxBytes
  // one last line says the log was cut and later lines are dropped. False
  // when the file cannot be created; the log then stays closed.
  bool Open(const std::wstring& path, DWORD maxBytes = kDiagnosticLogMaxBytes);
  // Like Open, but an existing file keeps its lines and this run's follow
  // them; maxBytes bounds this run's part.
  bool Append(const std::wstring& path, DWORD maxBytes = kDiagnosticLogMaxBytes);
  void Close();
  bool IsOpen() const;

  // Appends one line (UTF-8, without its line end; control characters in it
  // become blanks). Dropped while closed or past the bound.
  void Write(const char* text);

 private:
  bool OpenFile(const std::wstring& path, DWORD disposition, DWORD maxBytes);

  std::atomic<bool> open_;  // read without the lock, so a closed log costs one load
  CRITICAL_SECTION lock_;
  HANDLE file_;
  DWORD written_;
  DWORD maxBytes_;
};

// The process's one log, closed until start-up opens it; never destroyed.
DiagnosticLog* GetDiagnosticLog();

// Formats one line (printf rules of msvcrt: %s takes UTF-8, %I64u a 64-bit
// number) into the process's log. Lines beyond 2047 bytes are cut.
void LogLine(const char* format, ...) __attribute__((format(ms_printf, 1, 2)));

// Wide text as UTF-8, for the %s of a log line.
std::string LogText(const std::wstring& text);

}  // namespace rerozadez
