#include "net/resumable_download.h"

#include <wininet.h>

#include <algorithm>
#include <climits>
#include <memory>

#include "platform/diagnostic_log.h"
#include "platform/pause.h"
#include "platform/scoped.h"

namespace rerozadez {
namespace {

const wchar_t kUserAgent[] = L"Mozilla/4.0 (compatible; MSIE 5.0; Windows NT 5.0)";
const DWORD kWorkBufferChars = 2048;
const DWORD kUrlPartChars = 1024;  // host in the first half, path in the second
const DWORD kReadBufferBytes = 1048576;
const DWORD kConnectTimeoutMs = 30000;
const DWORD kEmptyReadPauseMs = 100;
// The body has ended once this many reads in a row brought nothing.
const int kMaxEmptyReads = 10;

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

// Opens one request for address: connection, request (TLS for https, with
// the certificate checked; redirects left to the caller), the header block,
// the time-outs, and sends it. False with error set to the failed step.
bool SendDownloadRequest(HINTERNET session, const std::wstring& address,
                         const std::wstring& headers, wchar_t* work, ScopedInternet* connection,
                         ScopedInternet* request, int* error) {
  std::fill(work, work + kWorkBufferChars, L'\0');
  URL_COMPONENTSW parts = {};
  parts.dwStructSize = sizeof(parts);
  parts.lpszHostName = work;
  parts.dwHostNameLength = kUrlPartChars;
  parts.lpszUrlPath = work + kUrlPartChars;
  parts.dwUrlPathLength = kUrlPartChars;
  // A URL that cannot be split leaves an empty host, which fails to connect.
  InternetCrackUrlW(address.c_str(), 0, 0, &parts);
  const std::wstring host(work);
  const std::wstring urlPath(work + kUrlPartChars);
  const DWORD flags = INTERNET_FLAG_NO_AUTO_REDIRECT |
                      (parts.nScheme == INTERNET_SCHEME_HTTPS ? INTERNET_FLAG_SECURE : 0);

  connection->Reset(InternetConnectW(session, host.c_str(), parts.nPort, nullptr, nullptr,
                                     INTERNET_SERVICE_HTTP, INTERNET_FLAG_KEEP_CONNECTION, 0));
  if (!connection->IsValid() || InternetAttemptConnect(0) != ERROR_SUCCESS) {
    *error = kDownloadErrorConnect;
    return false;
  }
  request->Reset(HttpOpenRequestW(connection->Get(), L"GET", urlPath.c_str(), nullptr, L"", nullptr,
                                  flags, 0));
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
  DWORD receiveTimeout = kDownloadReceiveTimeoutMs;
  if (!InternetSetOptionW(request->Get(), INTERNET_OPTION_CONNECT_TIMEOUT, &connectTimeout,
                          sizeof(connectTimeout)) ||
      !InternetSetOptionW(request->Get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &receiveTimeout,
                          sizeof(receiveTimeout))) {
    *error = kDownloadErrorSetTimeouts;
    return false;
  }
  if (!HttpSendRequestW(request->Get(), nullptr, 0, nullptr, 0)) {
    *error = kDownloadErrorSendRequest;
    return false;
  }
  return true;
}

// The reply's Location into work (kWorkBufferChars wide characters).
bool ReadLocation(HINTERNET request, wchar_t* work) {
  std::fill(work, work + kWorkBufferChars, L'\0');
  DWORD size = (kWorkBufferChars - 1) * sizeof(wchar_t);
  return HttpQueryInfoW(request, HTTP_QUERY_LOCATION, work, &size, nullptr) && work[0] != L'\0';
}

INTERNET_SCHEME SchemeOf(const std::wstring& address) {
  URL_COMPONENTSW parts = {};
  parts.dwStructSize = sizeof(parts);
  parts.dwSchemeLength = 1;  // asks for the scheme without copying it
  return InternetCrackUrlW(address.c_str(), 0, 0, &parts) ? parts.nScheme : INTERNET_SCHEME_UNKNOWN;
}

// Empties the file when the body turned out to be the whole file again.
bool TruncateFile(HANDLE file) {
  LARGE_INTEGER start = {};
  return SetFilePointerEx(file, start, nullptr, FILE_BEGIN) && SetEndOfFile(file);
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
  wchar_t combined[INTERNET_MAX_URL_LENGTH + 1] = L"";
  DWORD length = INTERNET_MAX_URL_LENGTH;
  if (!InternetCombineUrlW(currentUrl.c_str(), location.c_str(), combined, &length,
                           ICU_NO_ENCODE)) {
    return false;
  }
  const INTERNET_SCHEME from = SchemeOf(currentUrl);
  const INTERNET_SCHEME to = SchemeOf(combined);
  // Once on https, the file must not continue over a channel anyone on the
  // way could alter; http may move up to https.
  if (to != INTERNET_SCHEME_HTTPS && (to != INTERNET_SCHEME_HTTP || from == INTERNET_SCHEME_HTTPS))
    return false;
  *next = combined;
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

void DownloadFile(const DownloadControl& control, std::wstring url, std::wstring path,
                  int64_t totalSize, uint64_t* startOffset, int* errorCode) {
  int localError = 0;
  int& error = errorCode != nullptr ? *errorCode : localError;
  error = 0;
  if (startOffset != nullptr)
    *startOffset = 0;

  std::unique_ptr<wchar_t[]> work(new wchar_t[kWorkBufferChars]());
  std::unique_ptr<char[]> readBuffer(new char[kReadBufferBytes]);

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
  // Records the failed step with WinINet's reason, taken before any other call.
  auto fail = [&](int code, const std::wstring& address) {
    const DWORD windowsError = GetLastError();
    error = code;
    LogLine("download %s failed at step %d, Windows error %lu", LogText(address).c_str(), code,
            windowsError);
  };
  if (!session.IsValid()) {
    fail(kDownloadErrorOpenSession, url);
    return;
  }
  const std::wstring headers = BuildDownloadHeaders(offset);
  std::wstring address = url;
  DWORD status = 0;
  for (int redirects = 0;; ++redirects) {
    request.Reset();
    connection.Reset();
    if (!SendDownloadRequest(session.Get(), address, headers, work.get(), &connection, &request,
                             &error)) {
      fail(error, address);
      return;
    }
    DWORD statusSize = sizeof(status);
    if (!HttpQueryInfoW(request.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                        &statusSize, nullptr)) {
      fail(kDownloadErrorQueryStatus, address);
      return;
    }
    LogLine("download GET %s Range bytes=%I64u-: status %lu", LogText(address).c_str(), offset,
            status);
    // A redirect that names no place is an error reply like any other.
    if (!IsRedirectStatus(status) || !ReadLocation(request.Get(), work.get()))
      break;
    // The same request, Range included, goes to the new address: the range
    // is asked of the server that holds the file.
    std::wstring next;
    if (redirects == kMaxRedirects || !ResolveRedirect(address, work.get(), &next)) {
      error = kDownloadErrorRedirect;
      LogLine("download redirect %lu to \"%s\" not followed (%d followed already)", status,
              LogText(work.get()).c_str(), redirects);
      return;
    }
    address = next;
  }

  DownloadReplyAction action = JudgeDownloadStatus(status, offset);
  if (action == kReplyRejected) {
    error = kDownloadErrorReplyStatus;
    LogLine("download status %lu rejected: nothing written, the file keeps %I64u bytes", status,
            offset);
    return;
  }
  if (action == kReplyAlreadyWhole)
    return;
  // A restart empties the file only once bytes arrive, so an empty reply
  // keeps what an earlier pass fetched.
  bool restartPending = action == kReplyRestart;
  uint64_t base = restartPending ? 0 : offset;

  uint64_t received = 0;
  int emptyReads = 0;
  const char* ending = "the body ended";
  DWORD readError = 0;
  for (;;) {
    if (control.shouldStop && control.shouldStop()) {
      ending = "stop requested";
      break;
    }
    DWORD got = 0;
    if (!InternetReadFile(request.Get(), readBuffer.get(), kReadBufferBytes, &got)) {
      readError = GetLastError();
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
      if (restartPending) {
        if (!TruncateFile(file.Get())) {
          error = kDownloadErrorWriteFile;
          readError = GetLastError();
          ending = "the file could not be emptied";
          break;
        }
        restartPending = false;
      }
    }
    DWORD written = 0;
    if (!WriteFile(file.Get(), readBuffer.get(), got, &written, nullptr) || written != got) {
      error = kDownloadErrorWriteFile;
      readError = GetLastError();
      ending = "a write failed";
      break;
    }
    if (control.progress)
      control.progress(DownloadPercent(base + received, totalSize));
  }
  LogLine("download ended (%s, Windows error %lu): %I64u bytes received, %s from byte %I64u",
          ending, readError, received, base == offset ? "appended" : "restarted", base);
}

}  // namespace rerozadez
