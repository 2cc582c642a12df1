#include "net/web_request.h"

#include <wininet.h>

#include "net/proxy_credentials.h"
#include "platform/diagnostic_log.h"

namespace rerozadez {
namespace {

// One call per header line: Windows takes a single header in a call that
// replaces one.
Status AddHeaders(HINTERNET request, const std::wstring& headers, StatusStep step) {
  size_t start = 0;
  while (start < headers.size()) {
    const size_t found = headers.find(L"\r\n", start);
    const size_t end = found == std::wstring::npos ? headers.size() : found + 2;
    const std::wstring line = headers.substr(start, end - start);
    start = end;
    if (line == L"\r\n")
      continue;  // the empty line that may close a block
    if (!HttpAddRequestHeadersW(request, line.c_str(), static_cast<DWORD>(line.size()),
                                HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE)) {
      const DWORD code = GetLastError();
      return Status::Windows(step, code, LogText(line.substr(0, line.find(L':'))));
    }
  }
  return Status::Ok();
}

// Without a receive time-out WinINet waits as long as a server that keeps
// the connection open and sends nothing: for ever.
bool SetTimeouts(HINTERNET request, const WebRequest& what) {
  DWORD connect = what.connectTimeoutMs;
  DWORD send = what.sendTimeoutMs;
  DWORD receive = what.receiveTimeoutMs;
  return InternetSetOptionW(request, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof(connect)) &&
         (send == 0 ||
          InternetSetOptionW(request, INTERNET_OPTION_SEND_TIMEOUT, &send, sizeof(send))) &&
         InternetSetOptionW(request, INTERNET_OPTION_RECEIVE_TIMEOUT, &receive, sizeof(receive));
}

}  // namespace

Status SendWebRequest(const WebRequest& what, const WebAddress& address,
                      WebRequestHandles* handles) {
  const std::string where = LogText(WebAddressText(address));
  const WebRequestSteps& steps = what.steps;
  handles->request.Reset();
  handles->connection.Reset();
  if (!handles->session.IsValid()) {
    handles->session.Reset(
        InternetOpenW(what.userAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!handles->session.IsValid())
      return Status::LastError(steps.openSession, where);
  }
  handles->connection.Reset(InternetConnectW(handles->session.Get(), address.host.c_str(),
                                             address.port, nullptr, nullptr, INTERNET_SERVICE_HTTP,
                                             0, 0));
  if (!handles->connection.IsValid())
    return Status::LastError(steps.connect, where);
  const DWORD attempt = InternetAttemptConnect(0);
  if (attempt != ERROR_SUCCESS)
    return Status::Windows(steps.attemptConnect, attempt, where);
  const DWORD flags = what.flags | (address.secure ? INTERNET_FLAG_SECURE : 0);
  handles->request.Reset(HttpOpenRequestW(
      handles->connection.Get(), what.method.empty() ? nullptr : what.method.c_str(),
      address.pathAndQuery.c_str(), what.httpVersion, L"", nullptr, flags, 0));
  if (!handles->request.IsValid())
    return Status::LastError(steps.openRequest, where);
  HINTERNET request = handles->request.Get();
  const Status added = AddHeaders(request, what.headers, steps.addHeaders);
  if (!added.ok())
    return added;
  if (!SetTimeouts(request, what))
    return Status::LastError(steps.setTimeouts, where);
  void* body = what.body.empty() ? nullptr : const_cast<char*>(what.body.data());
  const DWORD length = static_cast<DWORD>(what.body.size());
  // Read at once: the call's wrapper is freed before Send's result is seen.
  DWORD sendError = ERROR_SUCCESS;
  const bool sent = GetProxyCredentials()->Send(request, [&] {
    const BOOL ok = HttpSendRequestW(request, nullptr, 0, body, length);
    sendError = ok ? ERROR_SUCCESS : GetLastError();
    return ok;
  });
  return sent ? Status::Ok() : Status::Windows(steps.send, sendError, where);
}

}  // namespace rerozadez
