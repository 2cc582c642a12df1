#include "platform/diagnostic_log.h"

#include <cstdarg>
#include <cstdio>

#include "platform/process_instance.h"
#include "platform/text_encoding.h"

namespace rerozadez {
namespace {

const DWORD kLineBytes = 2048;
const char kCutNotice[] = "log cut here: it reached its size limit";
// Lets Notepad on older Windows recognise the text as UTF-8.
const char kUtf8Mark[] = "\xEF\xBB\xBF";

}  // namespace

DiagnosticLog::DiagnosticLog()
    : open_(false), file_(INVALID_HANDLE_VALUE), written_(0), maxBytes_(0) {
  InitializeCriticalSection(&lock_);
}

bool DiagnosticLog::Open(const std::wstring& path, DWORD maxBytes) {
  return OpenFile(path, CREATE_ALWAYS, maxBytes);
}

bool DiagnosticLog::Append(const std::wstring& path, DWORD maxBytes) {
  return OpenFile(path, OPEN_ALWAYS, maxBytes);
}

bool DiagnosticLog::OpenFile(const std::wstring& path, DWORD disposition, DWORD maxBytes) {
  Close();
  // Readers may look while the program runs; nobody else writes.
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, disposition,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  // An earlier run's lines stay; the mark opens a new file only.
  LARGE_INTEGER end = {};
  SetFilePointerEx(file, end, &end, FILE_END);
  DWORD done = 0;
  if (end.QuadPart == 0)
    WriteFile(file, kUtf8Mark, sizeof(kUtf8Mark) - 1, &done, nullptr);
  EnterCriticalSection(&lock_);
  file_ = file;
  written_ = done;
  maxBytes_ = maxBytes;
  open_ = true;
  LeaveCriticalSection(&lock_);
  return true;
}

void DiagnosticLog::Close() {
  EnterCriticalSection(&lock_);
  if (file_ != INVALID_HANDLE_VALUE)
    CloseHandle(file_);
  file_ = INVALID_HANDLE_VALUE;
  open_ = false;
  LeaveCriticalSection(&lock_);
}

bool DiagnosticLog::IsOpen() const {
  return open_;
}

void DiagnosticLog::Write(const char* text) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char stamp[48];
  _snprintf(stamp, sizeof(stamp), "%04u-%02u-%02u %02u:%02u:%02u.%03u [%lu]", now.wYear, now.wMonth,
            now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds, GetCurrentThreadId());
  stamp[sizeof(stamp) - 1] = '\0';
  char line[kLineBytes + sizeof(stamp) + 4];
  int length =
      _snprintf(line, sizeof(line) - 2, "%s %.*s", stamp, static_cast<int>(kLineBytes), text);
  if (length < 0)
    length = static_cast<int>(sizeof(line)) - 2;
  // Texts from outside (a server's reply, a path) never start a line of
  // their own.
  for (int i = 0; i < length; ++i) {
    if (static_cast<unsigned char>(line[i]) < 0x20)
      line[i] = ' ';
  }
  line[length++] = '\r';
  line[length++] = '\n';

  EnterCriticalSection(&lock_);
  if (file_ != INVALID_HANDLE_VALUE) {
    DWORD done = 0;
    if (written_ + static_cast<DWORD>(length) + sizeof(stamp) + sizeof(kCutNotice) <= maxBytes_) {
      WriteFile(file_, line, static_cast<DWORD>(length), &done, nullptr);
      written_ += done;
    } else {
      // Keep the head, where a run's decisions are, and say that lines are
      // missing; then stop, so that a looping run cannot fill the disk.
      length = _snprintf(line, sizeof(line), "%s %s\r\n", stamp, kCutNotice);
      WriteFile(file_, line, static_cast<DWORD>(length), &done, nullptr);
      CloseHandle(file_);
      file_ = INVALID_HANDLE_VALUE;
      open_ = false;
    }
  }
  LeaveCriticalSection(&lock_);
}

DiagnosticLog* GetDiagnosticLog() {
  return ProcessInstance<DiagnosticLog>();
}

void LogLine(const char* format, ...) {
  if (!GetDiagnosticLog()->IsOpen())
    return;
  char text[kLineBytes];
  va_list arguments;
  va_start(arguments, format);
  int length = _vsnprintf(text, sizeof(text) - 1, format, arguments);
  va_end(arguments);
  // _vsnprintf leaves the text unterminated when it does not fit.
  text[length < 0 ? sizeof(text) - 1 : static_cast<size_t>(length)] = '\0';
  GetDiagnosticLog()->Write(text);
}

std::string LogText(const std::wstring& text) {
  return WideToUtf8(text.c_str());
}

}  // namespace rerozadez
