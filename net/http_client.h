#pragma once

#include <windows.h>

#include <string>

#include "platform/status.h"

namespace rerozadez {

// True when the first three letters of method are "GET" in any case.
bool IsGetMethod(const char* method);

// A GET carries a payload of two or more characters as the query: appends "?"
// and the payload to url (without looking for a query already there) and
// empties data. Any other request keeps both unchanged.
void MoveGetPayloadIntoUrl(const char* method, std::string* url, std::string* data);

// The largest reply body a request keeps. The service's reply is a small
// JSON object; a body past this is none (a broken or hostile service), and
// reading on would let it fill the program's memory.
const size_t kMaxReplyBodyBytes = 64 * 1024;

// One complete HTTP request over WinINet, opening and closing its own
// session, connection and request; nothing is cached or kept between calls.
class HttpClient {
 public:
  // Sends method to url with data as payload, asking caches on the way not
  // to answer for the server (Pragma and Cache-Control: no-cache): over TLS
  // with the server's certificate checked when the scheme is https, else
  // plain HTTP; the port is the address's or its scheme's default. url is
  // ANSI text and reaches the server as WinINet's ANSI calls would send it.
  // WinINet follows redirects. Replaces responseBody with the reply body and
  // responseHeaders with the raw reply headers (status line first, CR LF
  // after each line); an error status is not judged here. Fails with:
  // kHttpCrackUrl for an address ParseWebAddress refuses, nothing sent; the
  // step of a failed WinINet call with its code (a refused certificate at
  // kHttpSendRequest, e.g. 12057 or 12038; a closed port 12029);
  // kHttpNotOverHttps when an https request was redirected to plain http;
  // kHttpQueryHeaders for headers longer than 2048 bytes, the body already
  // read; kHttpEmptyBody for a reply without a body byte, its headers kept
  // (code: the failed read's, else the HTTP status); kHttpBodyTooLarge (code:
  // the HTTP status) once the body passes kMaxReplyBodyBytes, reading no
  // further and keeping none of it.
  // A server silent for receiveTimeoutMs ends the request: before the reply
  // at kHttpSendRequest; within the body the body ends there (WinINet drops
  // the bytes of the read that timed out). A proxy asking for credentials
  // (407) is answered through GetProxyCredentials: the user's answer, or the
  // 407 reply on Cancel. Each reply leaves one line in the diagnostic log;
  // the failure is the caller's to log.
  Status SendRequest(std::string url, std::string data, const char* method,
                     std::string& responseBody, std::string& responseHeaders,
                     DWORD connectTimeoutMs, DWORD receiveTimeoutMs);
};

// The one HttpClient, created on first use and never destroyed.
HttpClient* GetHttpClient();

}  // namespace rerozadez
