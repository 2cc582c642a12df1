#include "net/http_client.h"

#include <wininet.h>

#include <vector>

#include "net/proxy_credentials.h"
#include "net/web_address.h"
#include "platform/diagnostic_log.h"
#include "platform/scoped.h"

namespace rerozadez {
namespace {

const char kUserAgent[] =
    "Mozilla/5.0 (Windows NT 6.1) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/28.0.1500.72 Safari/537.36";
const char kHttpVersion[] = "HTTP/1.0";
const char kAcceptType[] =
    "Accept: text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8";
// Replaces the Accept header WinINet builds from the accept-type list.
const char kAcceptHeader[] =
    "Accept: text/html,application/xhtml+xml,application/xml;q=0.9,image/webp,*/*;q=0.8\r\n";
const char kLanguageHeader[] = "Accept-Language: zh-CN,zh;q=0.8\r\n";
const char kCookieHeader[] = "Cookie: notified-NotifyUser1=1";
// A caching proxy on the way must ask the service: a changed offer has to
// reach the program at once.
const char kNoCacheHeaders[] = "Pragma: no-cache\r\nCache-Control: no-cache\r\n";
const char kFormContentType[] = "Content-Type: application/x-www-form-urlencoded\r\n";

const DWORD kHostBufferSize = 2084;
// Also the size of every body read and the limit of the raw headers.
const DWORD kPathBufferSize = 2048;

// WinINet follows the service's redirects. From http to https it may ask
// first on older Windows; the flag lets it go on. The way back from https to
// plain http is refused below, since Wine's WinINet takes it silently.
const DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                            INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_COOKIES |
                            INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;
const DWORD kReplaceHeader = HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE;

DWORD LengthOf(const char* text) {
  return static_cast<DWORD>(lstrlenA(text));
}

// True when the reply came from an https address; WinINet has followed any
// redirects by then.
bool ReplyCameOverHttps(HINTERNET request) {
  char url[INTERNET_MAX_URL_LENGTH + 1] = "";
  DWORD size = sizeof(url) - 1;
  return InternetQueryOptionA(request, INTERNET_OPTION_URL, url, &size) &&
         _strnicmp(url, "https://", 8) == 0;
}

DWORD StatusOf(HINTERNET request) {
  DWORD status = 0;
  DWORD size = sizeof(status);
  HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr);
  return status;
}

}  // namespace

bool IsGetMethod(const char* method) {
  if (method == nullptr)
    return false;
  for (int i = 0; i < 3; ++i) {
    // The terminating zero of a shorter method fails the comparison.
    if ((method[i] & ~0x20) != "GET"[i])
      return false;
  }
  return true;
}

void MoveGetPayloadIntoUrl(const char* method, std::string* url, std::string* data) {
  if (IsGetMethod(method) && data->size() > 1) {
    url->append("?");
    url->append(*data);
    data->clear();
  }
}

bool HttpClient::SendRequest(std::string url, std::string data, const char* method,
                             std::string& responseBody, std::string& responseHeaders,
                             DWORD connectTimeoutMs, DWORD receiveTimeoutMs, int* errorCode,
                             DWORD* systemError) {
  int localError = 0;
  int& error = errorCode != nullptr ? *errorCode : localError;
  error = 0;
  if (systemError != nullptr)
    *systemError = 0;
  responseBody.clear();
  responseHeaders.clear();

  MoveGetPayloadIntoUrl(method, &url, &data);

  bool ok = false;
  DWORD status = 0;
  std::vector<char> host(kHostBufferSize, 0);
  std::vector<char> path(kPathBufferSize, 0);
  // One buffer, zeroed before each use, for the body and the raw headers.
  std::vector<char> buffer(kPathBufferSize, 0);
  URL_COMPONENTSA parts = {};
  parts.dwStructSize = sizeof(parts);
  parts.lpszHostName = host.data();
  parts.dwHostNameLength = kHostBufferSize;
  parts.lpszUrlPath = path.data();
  parts.dwUrlPathLength = kPathBufferSize;

  // The handles close request first, session last, on every path.
  ScopedInternet session;
  ScopedInternet connection;
  ScopedInternet request;
  [&] {
    // Refused before any request rather than split into something else:
    // WinINet would send control characters raw and use the default port
    // for 0 or 65536. Bytes above 0x7F (an ANSI channel) widen to no control.
    WebAddress checked;
    if (!ParseWebAddress(std::wstring(url.begin(), url.end()), &checked) ||
        !InternetCrackUrlA(url.c_str(), static_cast<DWORD>(url.size()), ICU_ESCAPE, &parts)) {
      error = kHttpErrorCrackUrl;
      return;
    }
    // https asks for TLS with the server's certificate checked; any other
    // scheme is plain HTTP on the port the address gives or implies.
    const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    session.Reset(InternetOpenA(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, "", "", 0));
    if (!session.IsValid()) {
      error = kHttpErrorOpenSession;
      return;
    }
    connection.Reset(InternetConnectA(session.Get(), host.data(), parts.nPort, nullptr, nullptr,
                                      INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection.IsValid()) {
      error = kHttpErrorConnect;
      return;
    }
    if (InternetAttemptConnect(0) != ERROR_SUCCESS) {
      error = kHttpErrorAttemptConnect;
      return;
    }
    const char* acceptTypes[] = {kAcceptType, nullptr};
    request.Reset(HttpOpenRequestA(connection.Get(), method, path.data(), kHttpVersion, "",
                                   acceptTypes, kRequestFlags | (secure ? INTERNET_FLAG_SECURE : 0),
                                   0));
    if (!request.IsValid()) {
      error = kHttpErrorOpenRequest;
      return;
    }
    if (!HttpAddRequestHeadersA(request.Get(), kAcceptHeader, LengthOf(kAcceptHeader),
                                kReplaceHeader)) {
      error = kHttpErrorAddAcceptHeader;
      return;
    }
    if (!HttpAddRequestHeadersA(request.Get(), kLanguageHeader, LengthOf(kLanguageHeader),
                                kReplaceHeader)) {
      error = kHttpErrorAddLanguageHeader;
      return;
    }
    if (!HttpAddRequestHeadersA(request.Get(), kCookieHeader, LengthOf(kCookieHeader),
                                HTTP_ADDREQ_FLAG_ADD)) {
      error = kHttpErrorAddCookieHeader;
      return;
    }
    if (!HttpAddRequestHeadersA(request.Get(), kNoCacheHeaders, LengthOf(kNoCacheHeaders),
                                kReplaceHeader)) {
      error = kHttpErrorAddNoCacheHeaders;
      return;
    }
    DWORD timeout = connectTimeoutMs;
    InternetSetOptionW(request.Get(), INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof(timeout));
    // Without these WinINet waits as long as a server that keeps the
    // connection open and sends nothing: for ever.
    DWORD silence = receiveTimeoutMs;
    InternetSetOptionW(request.Get(), INTERNET_OPTION_SEND_TIMEOUT, &silence, sizeof(silence));
    InternetSetOptionW(request.Get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &silence, sizeof(silence));

    void* payload = data.empty() ? nullptr : &data[0];
    DWORD payloadLength = static_cast<DWORD>(data.size());
    const bool sent = GetProxyCredentials()->Send(request.Get(), [&] {
      return data.size() > 1 ? HttpSendRequestA(request.Get(), kFormContentType,
                                                LengthOf(kFormContentType), payload, payloadLength)
                             : HttpSendRequestA(request.Get(), nullptr, static_cast<DWORD>(-1),
                                                payload, payloadLength);
    });
    if (!sent) {
      error = kHttpErrorSendRequest;
      return;
    }
    if (secure && !ReplyCameOverHttps(request.Get())) {
      // Redirected to plain http: the reply could have been forged on the way.
      error = kHttpErrorSendRequest;
      SetLastError(ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR);
      return;
    }
    status = StatusOf(request.Get());

    // A failed read ends the body like its end does; what came stays.
    size_t total = 0;
    DWORD got = 0;
    while (InternetReadFile(request.Get(), buffer.data(), kPathBufferSize, &got) && got > 0) {
      responseBody.append(buffer.data(), got);
      total += got;
      std::fill(buffer.begin(), buffer.end(), 0);
    }

    std::fill(buffer.begin(), buffer.end(), 0);
    DWORD headerLength = kPathBufferSize;
    if (!HttpQueryInfoA(request.Get(), HTTP_QUERY_RAW_HEADERS_CRLF, buffer.data(), &headerLength,
                        nullptr)) {
      error = kHttpErrorQueryHeaders;
      return;
    }
    responseHeaders.append(buffer.data(), headerLength);
    ok = total > 0;
  }();

  const DWORD lastError = ok ? 0 : GetLastError();
  if (systemError != nullptr)
    *systemError = lastError;
  if (error != 0) {
    LogLine("request %s %s failed at step %d, Windows error %lu", method, url.c_str(), error,
            lastError);
  } else {
    LogLine("request %s %s: status %lu, %u body bytes", method, url.c_str(), status,
            static_cast<unsigned>(responseBody.size()));
  }
  return ok;
}

HttpClient* GetHttpClient() {
  static HttpClient* client = new HttpClient;
  return client;
}

}  // namespace rerozadez
