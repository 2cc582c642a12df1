#include "net/resumable_download.h"

#include <wininet.h>

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <memory>

#include "net/read_pacer.h"
#include "net/web_request.h"
#include "platform/diagnostic_log.h"
#include "platform/pause.h"
#include "platform/text_encoding.h"

namespace rerozadez {
namespace {

const wchar_t kUserAgent[] = L"Mozilla/4.0 (compatible; MSIE 5.0; Windows NT 5.0)";
const DWORD kConnectTimeoutMs = 30000;
const DWORD kEmptyReadPauseMs = 100;
// The body has ended once this many reads in a row brought nothing.
const int kMaxEmptyReads = 10;
// The window redraws its progress twice a second: more reports of the
// percentage would only cost the downloading thread.
const DWORD kProgressIntervalMs = 250;
// How a read that timed out fails: WinINet's own code on Windows, the
// socket's (WSAETIMEDOUT) under Wine.
const DWORD kSocketTimedOut = 10060;

// A decimal number taking the whole of text; false when it is not one or
// has more than 19 digits (none of which a file size needs).
bool ParseDecimal(const std::wstring& text, uint64_t* value) {
  if (text.empty() || text.size() > 19)
    return false;
  uint64_t number = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9')
      return false;
    number = number * 10 + static_cast<uint64_t>(c - L'0');
  }
  *value = number;
  return true;
}

const WebRequestSteps kDownloadSteps = {
    StatusStep::kDownloadOpenSession, StatusStep::kDownloadConnect,
    StatusStep::kDownloadConnect,     StatusStep::kDownloadOpenRequest,
    StatusStep::kDownloadAddHeaders,  StatusStep::kDownloadSetTimeouts,
    StatusStep::kDownloadSendRequest};

// A short text for a Status's detail, printf rules of msvcrt.
std::string Detail(const char* format, ...) __attribute__((format(ms_printf, 1, 2)));
std::string Detail(const char* format, ...) {
  char text[256] = "";
  va_list arguments;
  va_start(arguments, format);
  _vsnprintf(text, sizeof(text) - 1, format, arguments);
  va_end(arguments);
  return text;
}

// One request for the file: its headers (the Range from requestOffset), the
// time-outs, no redirect followed by WinINet.
WebRequest DownloadRequest(uint64_t requestOffset, DWORD receiveTimeoutMs) {
  WebRequest request;
  request.userAgent = kUserAgent;
  request.flags = INTERNET_FLAG_NO_AUTO_REDIRECT;
  request.headers = BuildDownloadHeaders(requestOffset);
  request.connectTimeoutMs = kConnectTimeoutMs;
  request.receiveTimeoutMs = receiveTimeoutMs;
  request.steps = kDownloadSteps;
  return request;
}

// A reply header's whole text, however long; empty when absent.
std::wstring QueryHeader(HINTERNET request, DWORD header) {
  DWORD size = 0;
  if (HttpQueryInfoW(request, header, nullptr, &size, nullptr) ||
      GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) {
    return std::wstring();
  }
  std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
  if (!HttpQueryInfoW(request, header, &text[0], &size, nullptr))
    return std::wstring();
  text.resize(size / sizeof(wchar_t));
  return text;
}

// Sends the request to address and follows its redirects; handles->request
// then holds the final reply and status its status.
Status SendFollowingRedirects(const WebRequest& request, uint64_t requestOffset, WebAddress address,
                              WebRequestHandles* handles, DWORD* status) {
  for (int redirects = 0;; ++redirects) {
    const Status sent = SendWebRequest(request, address, handles);
    if (!sent.ok())
      return sent;
    const std::string where = LogText(WebAddressText(address));
    DWORD statusSize = sizeof(*status);
    if (!HttpQueryInfoW(handles->request.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER,
                        status, &statusSize, nullptr)) {
      return Status::LastError(StatusStep::kDownloadQueryStatus, where);
    }
    LogLine("download GET %s Range bytes=%I64u-: status %lu", where.c_str(), requestOffset,
            *status);
    // A redirect that names no place is an error reply like any other.
    const std::wstring location =
        IsRedirectStatus(*status) ? QueryHeader(handles->request.Get(), HTTP_QUERY_LOCATION) : L"";
    if (location.empty())
      return Status::Ok();
    // The same request, Range included, goes to the new address: the range
    // is asked of the server that holds the file.
    if (redirects == kMaxRedirects || !ResolveRedirect(address, location, &address)) {
      return Status::Http(
          StatusStep::kDownloadRedirect, *status,
          Detail("to \"%s\", %d followed already", LogText(location).c_str(), redirects));
    }
  }
}

// Empties the file when the body turned out to be the whole file again.
bool TruncateFile(HANDLE file) {
  LARGE_INTEGER start = {};
  return SetFilePointerEx(file, start, nullptr, FILE_BEGIN) && SetEndOfFile(file);
}

// Where a reply's body goes in the local file.
struct BodyPlacement {
  uint64_t streamStart;  // the offset in the remote file of the body's first byte
  uint64_t fileLength;   // the local file's length: bytes before it are not written again
  bool restartPending;   // empty the file once the first byte arrives
};

// Waits for the body's first byte on its own, so that a body that never
// starts is told apart from one cut off later (a timed-out read loses what
// it had buffered); what arrives stays in WinINet's buffer for the read.
Status AwaitFirstByte(HINTERNET request) {
  DWORD available = 0;
  if (InternetQueryDataAvailable(request, &available, 0, 0))
    return Status::Ok();
  const DWORD code = GetLastError();
  const bool silent = code == ERROR_INTERNET_TIMEOUT || code == kSocketTimedOut;
  return Status::Windows(silent ? StatusStep::kDownloadSilentReply : StatusStep::kDownloadReadBody,
                         code, "before any body byte: nothing written");
}

// Writes the part of a read's bytes that lies beyond what the file holds (a
// pass from the first byte skips those), emptying the file first when the
// reply restarts it.
Status WriteReceived(HANDLE file, const char* bytes, DWORD got, BodyPlacement* place,
                     uint64_t* position) {
  if (got > 0 && place->restartPending) {
    if (!TruncateFile(file))
      return Status::LastError(StatusStep::kDownloadWriteFile, "the file could not be emptied");
    place->restartPending = false;
  }
  const uint64_t skip =
      *position < place->fileLength ? std::min<uint64_t>(place->fileLength - *position, got) : 0;
  *position += got;
  const DWORD count = got - static_cast<DWORD>(skip);
  DWORD written = 0;
  if (!WriteFile(file, bytes + skip, count, &written, nullptr))
    return Status::LastError(StatusStep::kDownloadWriteFile);
  if (written != count)
    return Status::Failed(StatusStep::kDownloadWriteFile, "a write was cut short");
  return Status::Ok();
}

// What has arrived of the body: InternetQueryDataAvailable waits for the
// next byte (0 at the body's end), where a read would wait until it is full.
Status ArrivedBytes(HINTERNET request, DWORD* available) {
  if (!InternetQueryDataAvailable(request, available, 0, 0))
    return Status::LastError(StatusStep::kDownloadReadBody);
  return Status::Ok();
}

// Tells the caller what the file holds after a read: the meter every time,
// the percentage when it changed and the last report is kProgressIntervalMs
// old (or final).
class ProgressReporter {
 public:
  ProgressReporter(const DownloadControl& control, int64_t totalSize)
      : control_(control), totalSize_(totalSize) {}

  void Held(uint64_t held, bool final) {
    if (control_.bytesHeld)
      control_.bytesHeld(held);
    const int percent = DownloadPercent(held, totalSize_);
    const DWORD now = GetTickCount();
    if (!control_.progress || percent == reported_ ||
        (!final && reported_ >= 0 && now - reportedAt_ < kProgressIntervalMs)) {
      return;
    }
    control_.progress(percent);
    reported_ = percent;
    reportedAt_ = now;
  }

 private:
  const DownloadControl& control_;
  const int64_t totalSize_;
  int reported_ = -1;  // none yet
  DWORD reportedAt_ = 0;
};

// Reads the body into file until it ends, a read fails, a stop is asked or
// a write fails; logs how it ended.
Status ReceiveBody(const DownloadControl& control, HINTERNET request, HANDLE file,
                   BodyPlacement place, int64_t totalSize) {
  Status status = AwaitFirstByte(request);
  if (!status.ok())
    return status;
  std::unique_ptr<char[]> buffer(new char[kMaxReadBytes]);
  ReadPacer pacer(GetTickCount());
  uint64_t position = place.streamStart;
  if (control.bytesHeld)
    control.bytesHeld(place.restartPending ? 0 : place.fileLength);
  ProgressReporter reporter(control, totalSize);
  uint64_t received = 0;
  int emptyReads = 0;
  bool wrote = false;
  const char* ending = "the body ended";
  for (;;) {
    if (control.shouldStop && control.shouldStop()) {
      ending = "stop requested";
      break;
    }
    DWORD available = 0;
    DWORD got = 0;
    status = ArrivedBytes(request, &available);
    if (status.ok() && !InternetReadFile(request, buffer.get(), pacer.NextRead(available), &got)) {
      status = Status::LastError(StatusStep::kDownloadReadBody);
    }
    if (!status.ok()) {
      ending = "a read failed";
      break;
    }
    received += got;
    pacer.Received(got, GetTickCount());
    emptyReads = got == 0 ? emptyReads + 1 : 0;
    if (got == 0) {
      Pause(kEmptyReadPauseMs);
      if (emptyReads > kMaxEmptyReads)
        break;
    }
    status = WriteReceived(file, buffer.get(), got, &place, &position);
    if (!status.ok()) {
      ending = "a write failed";
      break;
    }
    wrote = true;
    reporter.Held(std::max(position, place.fileLength), false);
  }
  if (wrote)
    reporter.Held(std::max(position, place.fileLength), true);
  LogLine("download ended (%s): %I64u bytes received from byte %I64u", ending, received,
          place.streamStart);
  return status;
}

}  // namespace

DownloadReplyAction JudgeDownloadStatus(DWORD status, uint64_t startOffset) {
  if (status == HTTP_STATUS_PARTIAL_CONTENT)
    return kReplyAppend;
  if (status == 416)
    return kReplyAlreadyWhole;  // range not satisfiable
  if (status >= 200 && status < 300) {
    // The server ignored the range and sends the file from its first byte.
    return startOffset == 0 ? kReplyAppend : kReplyRestart;
  }
  return kReplyRejected;
}

bool IsRedirectStatus(DWORD status) {
  switch (status) {
    case 301:  // moved permanently
    case 302:  // found
    case 303:  // see other: a GET is what we send anyway
    case 307:  // temporary redirect
    case 308:  // permanent redirect; Wine's and XP's WinINet do not follow it
      return true;
    default:
      return false;
  }
}

bool ResolveRedirect(const WebAddress& current, const std::wstring& location, WebAddress* next) {
  if (HasControlCharacter(location))
    return false;
  WebAddress target;
  if (!ParseWebAddress(ResolveReference(WebAddressText(current), location), &target))
    return false;
  // Once on https, the file must not continue over a channel anyone on the
  // way could alter; http may move up to https.
  if (current.secure && !target.secure)
    return false;
  *next = target;
  return true;
}

std::string EscapeNonAsciiInUrl(const std::string& utf8Url) {
  static const char kHexDigits[] = "0123456789ABCDEF";
  std::string escaped;
  for (unsigned char byte : utf8Url) {
    if (byte < 0x80) {
      escaped += static_cast<char>(byte);
    } else {
      escaped += '%';
      escaped += kHexDigits[byte >> 4];
      escaped += kHexDigits[byte & 0x0F];
    }
  }
  return escaped;
}

std::wstring BuildDownloadHeaders(uint64_t startOffset) {
  return L"Accept:*/*\r\n"
         L"Pragma:no-cache\r\n"
         L"Cache-Control:no-cache\r\n"
         L"Connection:Keep-Alive\r\n"
         L"Range:bytes=" +
         DecimalText(startOffset) + L"-\r\n\r\n";
}

int DownloadPercent(uint64_t bytesInFile, int64_t totalSize) {
  if (totalSize <= 0)
    return 0;
  // Integers only: floating point gave 99 for whole files of 7 or 54670
  // bytes, and 100 * bytes can pass 2^64 near the top of the range.
  const uint64_t total = static_cast<uint64_t>(totalSize);
  const uint64_t wholes = bytesInFile / total;
  if (wholes > static_cast<uint64_t>(INT_MAX - 99) / 100)
    return INT_MAX;
  // floor(100 * rest / total) counted as the wraps of a hundred additions of
  // rest modulo total; with both below 2^63 no sum can overflow.
  const uint64_t rest = bytesInFile % total;
  uint64_t sum = 0;
  int part = 0;
  for (int i = 0; i < 100; ++i) {
    sum += rest;
    if (sum >= total) {
      sum -= total;
      ++part;
    }
  }
  return static_cast<int>(wholes * 100) + part;
}

bool ReplyFitsOffer(DWORD status, const std::wstring& contentLength,
                    const std::wstring& contentRange, uint64_t startOffset, int64_t offeredSize) {
  if (offeredSize <= 0)
    return true;
  const uint64_t offered = static_cast<uint64_t>(offeredSize);
  uint64_t number = 0;
  if (status != HTTP_STATUS_PARTIAL_CONTENT)
    return contentLength.empty() || (ParseDecimal(contentLength, &number) && number == offered);
  if (contentRange.empty())
    return true;
  // "bytes first-last/total", the unit in any case.
  if (contentRange.size() < 6 || _wcsnicmp(contentRange.c_str(), L"bytes ", 6) != 0)
    return false;
  const size_t dash = contentRange.find(L'-', 6);
  const size_t slash = contentRange.find(L'/', 6);
  if (dash == std::wstring::npos || slash == std::wstring::npos || dash > slash)
    return false;
  uint64_t first = 0, last = 0;
  if (!ParseDecimal(contentRange.substr(6, dash - 6), &first) ||
      !ParseDecimal(contentRange.substr(dash + 1, slash - dash - 1), &last) ||
      first != startOffset || last < first) {
    return false;
  }
  const std::wstring total = contentRange.substr(slash + 1);
  return total == L"*" || (ParseDecimal(total, &number) && number == offered);
}

Status DownloadFile(const DownloadControl& control, const WebAddress& address, std::wstring path,
                    int64_t totalSize, uint64_t* startOffset) {
  if (startOffset != nullptr)
    *startOffset = 0;
  // Others may read the file meanwhile (a digest check), never write it.
  ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) {
    const DWORD code = GetLastError();
    return Status::Windows(StatusStep::kDownloadOpenFile, code, LogText(path));
  }
  LARGE_INTEGER zero = {};
  LARGE_INTEGER end = {};
  SetFilePointerEx(file.Get(), zero, &end, FILE_END);
  const uint64_t offset = static_cast<uint64_t>(end.QuadPart);
  if (startOffset != nullptr)
    *startOffset = offset;

  const uint64_t requestOffset = control.fromFirstByte ? 0 : offset;
  WebRequestHandles handles;
  DWORD status = 0;
  const Status sent =
      SendFollowingRedirects(DownloadRequest(requestOffset, control.receiveTimeoutMs),
                             requestOffset, address, &handles, &status);
  if (!sent.ok())
    return sent;

  const DownloadReplyAction action = JudgeDownloadStatus(status, requestOffset);
  if (action == kReplyRejected) {
    return Status::Http(StatusStep::kDownloadReplyStatus, status,
                        Detail("nothing written, the file keeps %I64u bytes", offset));
  }
  if (action == kReplyAlreadyWhole)
    return Status::Ok();
  const std::wstring length = QueryHeader(handles.request.Get(), HTTP_QUERY_CONTENT_LENGTH);
  const std::wstring range = QueryHeader(handles.request.Get(), HTTP_QUERY_CONTENT_RANGE);
  if (!ReplyFitsOffer(status, length, range, requestOffset, totalSize)) {
    return Status::Http(StatusStep::kDownloadNotTheOffer, status,
                        Detail("length \"%s\", range \"%s\", offered %I64d bytes: nothing "
                               "written, the file keeps %I64u bytes",
                               LogText(length).c_str(), LogText(range).c_str(), totalSize, offset));
  }
  // A restart empties the file only once bytes arrive, so an empty reply
  // keeps what an earlier pass fetched.
  BodyPlacement place;
  place.restartPending = action == kReplyRestart;
  place.streamStart = place.restartPending ? 0 : requestOffset;
  place.fileLength = place.restartPending ? 0 : offset;
  return ReceiveBody(control, handles.request.Get(), file.Get(), place, totalSize);
}

}  // namespace rerozadez
