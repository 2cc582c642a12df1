#pragma once

#include <windows.h>

#include <string>

namespace rerozadez {

// Error codes of SendRequest: the step that failed.
enum HttpRequestError {
  kHttpErrorCrackUrl = 2001,
  kHttpErrorOpenSession = 2002,
  kHttpErrorConnect = 2003,
  kHttpErrorAttemptConnect = 2004,
  kHttpErrorOpenRequest = 2005,
  kHttpErrorAddAcceptHeader = 2006,
  kHttpErrorAddLanguageHeader = 2007,
  kHttpErrorAddCookieHeader = 2008,
  kHttpErrorSendRequest = 2009,
  kHttpErrorQueryHeaders = 2010,
  kHttpErrorAddNoCacheHeaders = 2011,
};

// True when the first three letters of method are "GET" in any case.
bool IsGetMethod(const char* method);

// A GET carries a payload of two or more characters as the query: appends "?"
// and the payload to url (without looking for a query already there) and
// empties data. Any other request keeps both unchanged.
void MoveGetPayloadIntoUrl(const char* method, std::string* url, std::string* data);

// One complete HTTP request over WinINet, opening and closing its own
// session, connection and request; nothing is cached or kept between calls.
class HttpClient {
 public:
  // Sends method to url with data as payload, asking caches on the way not
  // to answer for the server (Pragma and Cache-Control: no-cache): over TLS with the server's
  // certificate checked when the scheme is https, else plain HTTP; the port
  // is the address's or its scheme's default. WinINet follows redirects; one
  // from https to plain http fails the request. Replaces responseBody with
  // the reply body and responseHeaders with the raw reply headers (status
  // line first, CR LF after each line). True only when every step worked and
  // the body holds at least one byte. An address that ParseWebAddress
  // refuses fails with kHttpErrorCrackUrl. errorCode receives 0 or the failed
  // step's HttpRequestError; systemError, on failure, GetLastError (a refused
  // certificate gives the WinINet error, e.g. 12057 or 12038). Headers longer
  // than 2048 bytes fail with kHttpErrorQueryHeaders, the body already read.
  // A server silent for receiveTimeoutMs ends the request: before the reply
  // it fails with kHttpErrorSendRequest; within the body the body ends there
  // (WinINet drops the bytes of the read that timed out).
  // A proxy asking for credentials (407) is answered through
  // GetProxyCredentials: the user's answer, or the 407 reply on Cancel.
  // Each request leaves one line in the diagnostic log.
  bool SendRequest(std::string url, std::string data, const char* method, std::string& responseBody,
                   std::string& responseHeaders, DWORD connectTimeoutMs, DWORD receiveTimeoutMs,
                   int* errorCode = nullptr, DWORD* systemError = nullptr);
};

// The one HttpClient, created on first use and never destroyed.
HttpClient* GetHttpClient();

}  // namespace rerozadez
