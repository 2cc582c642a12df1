#include "net/http_client.h"

#include <wininet.h>

#include <vector>

#include "net/web_address.h"
#include "net/web_request.h"
#include "platform/diagnostic_log.h"
#include "platform/process_instance.h"

namespace rerozadez {
namespace {

const wchar_t kUserAgent[] =
    L"Mozilla/5.0 (Windows NT 6.1) AppleWebKit/537.36 (KHTML, like Gecko) "
    L"Chrome/28.0.1500.72 Safari/537.36";
const wchar_t kHttpVersion[] = L"HTTP/1.0";
// A caching proxy on the way must ask the service (Pragma, Cache-Control): a
// changed offer has to reach the program at once.
const wchar_t kHeaders[] =
    L"Accept: text/html,application/xhtml+xml,application/xml;q=0.9,image/webp,*/*;q=0.8\r\n"
    L"Accept-Language: zh-CN,zh;q=0.8\r\n"
    L"Cookie: notified-NotifyUser1=1\r\n"
    L"Pragma: no-cache\r\n"
    L"Cache-Control: no-cache\r\n";
const wchar_t kFormContentType[] = L"Content-Type: application/x-www-form-urlencoded\r\n";

// The size of every body read and the limit of the raw headers.
const DWORD kBufferSize = 2048;

// WinINet follows the service's redirects. From http to https it may ask
// first on older Windows; the flag lets it go on. The way back from https to
// plain http is refused below, since Wine's WinINet takes it silently.
const DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                            INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_COOKIES |
                            INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;

const WebRequestSteps kQuerySteps = {StatusStep::kHttpOpenSession,    StatusStep::kHttpConnect,
                                     StatusStep::kHttpAttemptConnect, StatusStep::kHttpOpenRequest,
                                     StatusStep::kHttpAddHeaders,     StatusStep::kHttpSetTimeouts,
                                     StatusStep::kHttpSendRequest};

// ANSI text widened as WinINet's ANSI entry points widen it, through the
// ANSI code page, so that the wide calls send the same bytes. A NUL stays
// in, to be refused with the other control characters.
std::wstring WidenAnsi(const std::string& text) {
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
  if (length <= 0)
    return std::wstring();
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), size, &wide[0], length);
  return wide;
}

WebRequest QueryRequest(const char* method, const std::string& data, DWORD connectTimeoutMs,
                        DWORD receiveTimeoutMs) {
  WebRequest request;
  request.userAgent = kUserAgent;
  request.method = WidenAnsi(method != nullptr ? method : "");
  request.httpVersion = kHttpVersion;
  request.flags = kRequestFlags;
  request.headers = kHeaders;
  // A one-character payload has always gone without a content type.
  if (data.size() > 1)
    request.headers += kFormContentType;
  request.body = data;
  request.connectTimeoutMs = connectTimeoutMs;
  request.sendTimeoutMs = receiveTimeoutMs;
  request.receiveTimeoutMs = receiveTimeoutMs;
  request.steps = kQuerySteps;
  return request;
}

// The address the reply came from; WinINet has followed any redirects by then.
std::string ReplyAddress(HINTERNET request) {
  char url[INTERNET_MAX_URL_LENGTH + 1] = "";
  DWORD size = sizeof(url) - 1;
  return InternetQueryOptionA(request, INTERNET_OPTION_URL, url, &size) ? std::string(url)
                                                                        : std::string();
}

DWORD StatusOf(HINTERNET request) {
  DWORD status = 0;
  DWORD size = sizeof(status);
  HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr);
  return status;
}

// Reads the body to its end, or until it has passed kMaxReplyBodyBytes
// (tooLarge). A failed read ends it too, keeping what came; its code is
// returned, else ERROR_SUCCESS.
DWORD ReadBody(HINTERNET request, std::string* body, bool* tooLarge) {
  std::vector<char> buffer(kBufferSize);
  for (;;) {
    DWORD got = 0;
    if (!InternetReadFile(request, buffer.data(), kBufferSize, &got))
      return GetLastError();
    if (got == 0)
      return ERROR_SUCCESS;
    body->append(buffer.data(), got);
    if (body->size() > kMaxReplyBodyBytes) {
      *tooLarge = true;
      return ERROR_SUCCESS;
    }
  }
}

// The raw reply headers, as the ANSI call gives them: their bytes as sent.
Status ReadRawHeaders(HINTERNET request, std::string* headers) {
  std::vector<char> buffer(kBufferSize, 0);
  DWORD length = kBufferSize;
  if (!HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, buffer.data(), &length, nullptr))
    return Status::LastError(StatusStep::kHttpQueryHeaders);
  headers->assign(buffer.data(), length);
  return Status::Ok();
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

Status HttpClient::SendRequest(std::string url, std::string data, const char* method,
                               std::string& responseBody, std::string& responseHeaders,
                               DWORD connectTimeoutMs, DWORD receiveTimeoutMs) {
  responseBody.clear();
  responseHeaders.clear();
  MoveGetPayloadIntoUrl(method, &url, &data);
  // Refused before any request rather than sent as something else: WinINet
  // would send control characters raw and use the default port for 0 or 65536.
  const std::wstring text = WidenAnsi(url);
  WebAddress address;
  if (!ParseWebAddress(text, &address))
    return Status::Failed(StatusStep::kHttpCrackUrl, LogText(text));

  WebRequestHandles handles;
  const Status sent = SendWebRequest(QueryRequest(method, data, connectTimeoutMs, receiveTimeoutMs),
                                     address, &handles);
  if (!sent.ok())
    return sent;
  HINTERNET request = handles.request.Get();
  if (address.secure) {
    // Redirected to plain http: the reply could have been forged on the way.
    const std::string replyAddress = ReplyAddress(request);
    if (_strnicmp(replyAddress.c_str(), "https://", 8) != 0) {
      return Status::Windows(StatusStep::kHttpNotOverHttps, ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR,
                             replyAddress);
    }
  }
  const DWORD status = StatusOf(request);
  bool tooLarge = false;
  const DWORD readError = ReadBody(request, &responseBody, &tooLarge);
  const Status headers = ReadRawHeaders(request, &responseHeaders);
  LogLine("request %s %s: status %lu, %u body bytes%s", method, LogText(text).c_str(), status,
          static_cast<unsigned>(responseBody.size()), tooLarge ? " and more" : "");
  if (tooLarge) {
    // Nothing of it is kept: no part of such a reply is an answer.
    std::string().swap(responseBody);
    return Status::Http(StatusStep::kHttpBodyTooLarge, status,
                        "more than " + std::to_string(kMaxReplyBodyBytes) + " bytes");
  }
  if (!headers.ok())
    return headers;
  if (responseBody.empty()) {
    return readError != ERROR_SUCCESS ? Status::Windows(StatusStep::kHttpEmptyBody, readError)
                                      : Status::Http(StatusStep::kHttpEmptyBody, status);
  }
  return Status::Ok();
}

HttpClient* GetHttpClient() {
  return ProcessInstance<HttpClient>();
}

}  // namespace rerozadez
