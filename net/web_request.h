#pragma once

#include <windows.h>

#include <string>

#include "net/web_address.h"
#include "platform/scoped.h"
#include "platform/status.h"

namespace rerozadez {

// The steps a request's failures are reported as: the package query and the
// download number the same WinINet calls each as their own.
struct WebRequestSteps {
  StatusStep openSession;
  StatusStep connect;
  StatusStep attemptConnect;
  StatusStep openRequest;
  StatusStep addHeaders;
  StatusStep setTimeouts;
  StatusStep send;
};

// How one request is made, apart from its address.
struct WebRequest {
  const wchar_t* userAgent = L"";
  std::wstring method;                   // empty: GET
  const wchar_t* httpVersion = nullptr;  // null: WinINet's own, HTTP/1.1
  DWORD flags = 0;                       // HttpOpenRequest's; TLS is added for https
  // "Name: value" lines, each ended by CR LF; each replaces a header of its
  // name that WinINet would send.
  std::wstring headers;
  std::string body;  // sent as it is after the headers; empty: none
  DWORD connectTimeoutMs = 0;
  DWORD sendTimeoutMs = 0;  // 0 keeps WinINet's own
  DWORD receiveTimeoutMs = 0;
  WebRequestSteps steps;
};

// The handles of one request. Declared session first, so that they close
// request first.
struct WebRequestHandles {
  ScopedInternet session;
  ScopedInternet connection;
  ScopedInternet request;
};

// Sends request to address: opens the session (its user agent, the proxy of
// Windows' Internet Options) unless handles already hold one, then a new
// connection and request in place of any earlier ones (TLS with the server's
// certificate checked for https), adds the headers, sets the time-outs and
// sends it through GetProxyCredentials()->Send. On success handles->request
// holds the reply, a 407 the user left unanswered included. A failed step
// gives request.steps' step with WinINet's code and the address as detail.
Status SendWebRequest(const WebRequest& request, const WebAddress& address,
                      WebRequestHandles* handles);

}  // namespace rerozadez
