#pragma once

#include <windows.h>

#include <string>

namespace rerozadez {

// An http or https address split into what a request needs.
struct WebAddress {
  bool secure = false;        // https: TLS with the certificate checked
  std::wstring host;          // a DNS name or a dotted IPv4 address
  WORD port = 0;              // the address's own, or 80 / 443
  std::wstring pathAndQuery;  // "/" at least; never the fragment
};

// The longest address fetched, WinINet's own limit (INTERNET_MAX_URL_LENGTH).
const size_t kMaxWebAddressLength = 2083;

// True when text holds a C0 control character, DEL or a C1 control
// character: any of them could end a request line or start a header.
bool HasControlCharacter(const std::wstring& text);

// Splits an absolute address. False, with nothing guessed or cut short,
// when the address is longer than kMaxWebAddressLength, holds a control
// character anywhere, has a scheme other than http or https (any case), no
// host, a host that is not a plain name or IPv4 address (user information,
// IPv6 literals and other characters are refused), or a port that is not a
// decimal number from 1 to 65535 (an empty port means the default). The
// fragment is dropped: it is never sent.
bool ParseWebAddress(const std::wstring& address, WebAddress* parts);

// The address as text, "scheme://host[:port]pathAndQuery", the port only
// when it is not the scheme's default; ParseWebAddress gives parts back.
std::wstring WebAddressText(const WebAddress& parts);

// RFC 3986 section 5.2: reference (absolute, network-path, absolute-path,
// relative-path or query-only) resolved against the absolute base, dot
// segments removed from the path only, the fragment dropped. Pure text: the
// result is judged by ParseWebAddress.
std::wstring ResolveReference(const std::wstring& base, const std::wstring& reference);

}  // namespace rerozadez
