#include "net/resumable_download.h"

#include <wininet.h>

#include <algorithm>
#include <climits>
#include <memory>

#include "net/proxy_credentials.h"
#include "net/web_address.h"
#include "platform/diagnostic_log.h"
#include "platform/pause.h"
#include "platform/scoped.h"

namespace rerozadez {
namespace {

const wchar_t kUserAgent[] = L"Mozilla/4.0 (compatible; MSIE 5.0; Windows NT 5.0)";
const DWORD kReadBufferBytes = 1048576;
const DWORD kConnectTimeoutMs = 30000;
const DWORD kEmptyReadPauseMs = 100;
// The body has ended once this many reads in a row brought nothing.
const int kMaxEmptyReads = 10;
// How a read that timed out fails: WinINet's own code on Windows, the
// socket's (WSAETIMEDOUT) under Wine.
const DWORD kSocketTimedOut = 10060;

std::wstring DecimalText(uint64_t value) {
  wchar_t digits[24];
  int count = 0;
  do {
    digits[count++] = static_cast<wchar_t>(L'0' + value % 10);
    value /= 10;
  } while (value != 0);
  std::wstring text;
  while (count > 0)
    text += digits[--count];
  return text;
}

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

// Records the failed step with WinINet's reason, taken before any other call.
void FailStep(int code, const std::wstring& address, int* error) {
  const DWORD windowsError = GetLastError();
  *error = code;
  LogLine("download %s failed at step %d, Windows error %lu", LogText(address).c_str(), code,
          windowsError);
}

// Opens one request for address: connection, request (TLS for https, with
// the certificate checked; redirects left to the caller), the header block,
// the time-outs, and sends it. False with error set to the failed step.
bool SendDownloadRequest(HINTERNET session, const WebAddress& address, const std::wstring& headers,
                         DWORD receiveTimeoutMs, ScopedInternet* connection,
                         ScopedInternet* request, int* error) {
  const DWORD flags = INTERNET_FLAG_NO_AUTO_REDIRECT | (address.secure ? INTERNET_FLAG_SECURE : 0);
  connection->Reset(InternetConnectW(session, address.host.c_str(), address.port, nullptr, nullptr,
                                     INTERNET_SERVICE_HTTP, INTERNET_FLAG_KEEP_CONNECTION, 0));
  if (!connection->IsValid() || InternetAttemptConnect(0) != ERROR_SUCCESS) {
    *error = kDownloadErrorConnect;
    return false;
  }
  request->Reset(HttpOpenRequestW(connection->Get(), L"GET", address.pathAndQuery.c_str(), nullptr,
                                  L"", nullptr, flags, 0));
  if (!request->IsValid()) {
    *error = kDownloadErrorOpenRequest;
    return false;
  }
  if (!HttpAddRequestHeadersW(request->Get(), headers.c_str(), static_cast<DWORD>(-1),
                              HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE)) {
    *error = kDownloadErrorAddHeaders;
    return false;
  }
  DWORD connectTimeout = kConnectTimeoutMs;
  DWORD receiveTimeout = receiveTimeoutMs;
  if (!InternetSetOptionW(request->Get(), INTERNET_OPTION_CONNECT_TIMEOUT, &connectTimeout,
                          sizeof(connectTimeout)) ||
      !InternetSetOptionW(request->Get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &receiveTimeout,
                          sizeof(receiveTimeout))) {
    *error = kDownloadErrorSetTimeouts;
    return false;
  }
  if (!GetProxyCredentials()->Send(request->Get(), [request] {
        return HttpSendRequestW(request->Get(), nullptr, 0, nullptr, 0);
      })) {
    *error = kDownloadErrorSendRequest;
    return false;
  }
  return true;
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

// Sends the request to url and follows its redirects; request then holds
// the final reply and status its status. False with error set (and logged)
// when a step failed or a redirect was not followed.
bool SendFollowingRedirects(HINTERNET session, const std::wstring& url, uint64_t requestOffset,
                            DWORD receiveTimeoutMs, ScopedInternet* connection,
                            ScopedInternet* request, DWORD* status, int* error) {
  const std::wstring headers = BuildDownloadHeaders(requestOffset);
  std::wstring address = url;
  for (int redirects = 0;; ++redirects) {
    request->Reset();
    connection->Reset();
    WebAddress parts;
    if (!ParseWebAddress(address, &parts)) {
      *error = kDownloadErrorAddress;
      LogLine("download address %s refused before any request", LogText(address).c_str());
      return false;
    }
    if (!SendDownloadRequest(session, parts, headers, receiveTimeoutMs, connection, request,
                             error)) {
      FailStep(*error, address, error);
      return false;
    }
    DWORD statusSize = sizeof(*status);
    if (!HttpQueryInfoW(request->Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, status,
                        &statusSize, nullptr)) {
      FailStep(kDownloadErrorQueryStatus, address, error);
      return false;
    }
    LogLine("download GET %s Range bytes=%I64u-: status %lu", LogText(address).c_str(),
            requestOffset, *status);
    // A redirect that names no place is an error reply like any other.
    const std::wstring location =
        IsRedirectStatus(*status) ? QueryHeader(request->Get(), HTTP_QUERY_LOCATION) : L"";
    if (location.empty())
      return true;
    // The same request, Range included, goes to the new address: the range
    // is asked of the server that holds the file.
    std::wstring next;
    if (redirects == kMaxRedirects || !ResolveRedirect(address, location, &next)) {
      *error = kDownloadErrorRedirect;
      LogLine("download redirect %lu to \"%s\" not followed (%d followed already)", *status,
              LogText(location).c_str(), redirects);
      return false;
    }
    address = next;
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

// Reads the body into file until it ends, a read fails, a stop is asked or
// a write fails; logs how it ended.
void ReceiveBody(const DownloadControl& control, HINTERNET request, HANDLE file,
                 BodyPlacement place, int64_t totalSize, int* error) {
  std::unique_ptr<char[]> buffer(new char[kReadBufferBytes]);
  uint64_t position = place.streamStart;
  uint64_t received = 0;
  int emptyReads = 0;
  const char* ending = "the body ended";
  DWORD windowsError = 0;
  // The first byte is awaited on its own, so that a body that never starts
  // is told apart from one cut off later (a timed-out read loses what it
  // had buffered); what arrives stays in WinINet's buffer for the read.
  DWORD available = 0;
  if (!InternetQueryDataAvailable(request, &available, 0, 0)) {
    windowsError = GetLastError();
    const bool silent = windowsError == ERROR_INTERNET_TIMEOUT || windowsError == kSocketTimedOut;
    *error = silent ? kDownloadErrorSilentReply : 0;
    LogLine("download ended (%s, Windows error %lu) before any body byte: nothing written",
            silent ? "the receive time-out passed" : "the wait failed", windowsError);
    return;
  }
  for (;;) {
    if (control.shouldStop && control.shouldStop()) {
      ending = "stop requested";
      break;
    }
    DWORD got = 0;
    if (!InternetReadFile(request, buffer.get(), kReadBufferBytes, &got)) {
      windowsError = GetLastError();
      ending = "a read failed";
      break;
    }
    received += got;
    if (got == 0) {
      Pause(kEmptyReadPauseMs);
      if (++emptyReads > kMaxEmptyReads)
        break;
    } else {
      emptyReads = 0;
      if (place.restartPending) {
        if (!TruncateFile(file)) {
          *error = kDownloadErrorWriteFile;
          windowsError = GetLastError();
          ending = "the file could not be emptied";
          break;
        }
        place.restartPending = false;
      }
    }
    // Bytes the file already holds (a pass from the first byte) are skipped.
    const uint64_t skip =
        position < place.fileLength ? std::min<uint64_t>(place.fileLength - position, got) : 0;
    position += got;
    const DWORD count = got - static_cast<DWORD>(skip);
    DWORD written = 0;
    if (!WriteFile(file, buffer.get() + skip, count, &written, nullptr) || written != count) {
      *error = kDownloadErrorWriteFile;
      windowsError = GetLastError();
      ending = "a write failed";
      break;
    }
    if (control.progress)
      control.progress(DownloadPercent(std::max(position, place.fileLength), totalSize));
  }
  LogLine("download ended (%s, Windows error %lu): %I64u bytes received from byte %I64u", ending,
          windowsError, received, place.streamStart);
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

bool ResolveRedirect(const std::wstring& currentUrl, const std::wstring& location,
                     std::wstring* next) {
  if (HasControlCharacter(location))
    return false;
  const std::wstring target = ResolveReference(currentUrl, location);
  WebAddress from, to;
  if (!ParseWebAddress(currentUrl, &from) || !ParseWebAddress(target, &to))
    return false;
  // Once on https, the file must not continue over a channel anyone on the
  // way could alter; http may move up to https.
  if (from.secure && !to.secure)
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

void DownloadFile(const DownloadControl& control, std::wstring url, std::wstring path,
                  int64_t totalSize, uint64_t* startOffset, int* errorCode) {
  int localError = 0;
  int& error = errorCode != nullptr ? *errorCode : localError;
  error = 0;
  if (startOffset != nullptr)
    *startOffset = 0;
  WebAddress parts;
  if (!ParseWebAddress(url, &parts)) {
    error = kDownloadErrorAddress;
    LogLine("download address %s refused before any request", LogText(url).c_str());
    return;
  }

  // Others may read the file meanwhile (a digest check), never write it.
  ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) {
    error = kDownloadErrorOpenFile;
    LogLine("download to %s: file not opened, Windows error %lu", LogText(path).c_str(),
            GetLastError());
    return;
  }
  LARGE_INTEGER zero = {};
  LARGE_INTEGER end = {};
  SetFilePointerEx(file.Get(), zero, &end, FILE_END);
  const uint64_t offset = static_cast<uint64_t>(end.QuadPart);
  if (startOffset != nullptr)
    *startOffset = offset;

  // Declared session first so that they close request first.
  ScopedInternet session(
      InternetOpenW(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  ScopedInternet connection;
  ScopedInternet request;
  if (!session.IsValid()) {
    FailStep(kDownloadErrorOpenSession, url, &error);
    return;
  }
  const uint64_t requestOffset = control.fromFirstByte ? 0 : offset;
  DWORD status = 0;
  if (!SendFollowingRedirects(session.Get(), url, requestOffset, control.receiveTimeoutMs,
                              &connection, &request, &status, &error)) {
    return;
  }

  DownloadReplyAction action = JudgeDownloadStatus(status, requestOffset);
  if (action == kReplyRejected) {
    error = kDownloadErrorReplyStatus;
    LogLine("download status %lu rejected: nothing written, the file keeps %I64u bytes", status,
            offset);
    return;
  }
  if (action == kReplyAlreadyWhole)
    return;
  const std::wstring length = QueryHeader(request.Get(), HTTP_QUERY_CONTENT_LENGTH);
  const std::wstring range = QueryHeader(request.Get(), HTTP_QUERY_CONTENT_RANGE);
  if (!ReplyFitsOffer(status, length, range, requestOffset, totalSize)) {
    error = kDownloadErrorReplyStatus;
    LogLine(
        "download reply (length \"%s\", range \"%s\") is not the offered %I64d bytes: "
        "nothing written, the file keeps %I64u bytes",
        LogText(length).c_str(), LogText(range).c_str(), totalSize, offset);
    return;
  }
  // A restart empties the file only once bytes arrive, so an empty reply
  // keeps what an earlier pass fetched.
  BodyPlacement place;
  place.restartPending = action == kReplyRestart;
  place.streamStart = place.restartPending ? 0 : requestOffset;
  place.fileLength = place.restartPending ? 0 : offset;
  ReceiveBody(control, request.Get(), file.Get(), place, totalSize, &error);
}

}  // namespace rerozadez
