#include "net/web_address.h"

namespace rerozadez {
namespace {

const size_t kMaxHostLength = 255;  // a DNS name's limit

// The components of RFC 3986 appendix B; the fragment is never kept.
struct UriParts {
  bool hasScheme = false;
  std::wstring scheme;
  bool hasAuthority = false;
  std::wstring authority;
  std::wstring path;
  bool hasQuery = false;
  std::wstring query;
};

UriParts SplitUri(const std::wstring& text) {
  UriParts parts;
  const size_t size = text.size();
  size_t at = 0;
  const size_t schemeEnd = text.find_first_of(L":/?#");
  if (schemeEnd != std::wstring::npos && schemeEnd > 0 && text[schemeEnd] == L':') {
    parts.hasScheme = true;
    parts.scheme = text.substr(0, schemeEnd);
    at = schemeEnd + 1;
  }
  if (text.compare(at, 2, L"//") == 0) {
    size_t end = text.find_first_of(L"/?#", at + 2);
    end = end == std::wstring::npos ? size : end;
    parts.hasAuthority = true;
    parts.authority = text.substr(at + 2, end - at - 2);
    at = end;
  }
  size_t end = text.find_first_of(L"?#", at);
  end = end == std::wstring::npos ? size : end;
  parts.path = text.substr(at, end - at);
  at = end;
  if (at < size && text[at] == L'?') {
    end = text.find(L'#', at + 1);
    end = end == std::wstring::npos ? size : end;
    parts.hasQuery = true;
    parts.query = text.substr(at + 1, end - at - 1);
  }
  return parts;
}

// RFC 3986 section 5.2.4.
std::wstring RemoveDotSegments(std::wstring input) {
  std::wstring output;
  while (!input.empty()) {
    if (input.compare(0, 3, L"../") == 0) {
      input.erase(0, 3);
    } else if (input.compare(0, 2, L"./") == 0) {
      input.erase(0, 2);
    } else if (input.compare(0, 3, L"/./") == 0) {
      input.erase(0, 2);
    } else if (input == L"/.") {
      input = L"/";
    } else if (input.compare(0, 4, L"/../") == 0 || input == L"/..") {
      input = input.size() == 3 ? L"/" : input.substr(3);
      const size_t last = output.rfind(L'/');
      output.erase(last == std::wstring::npos ? 0 : last);
    } else if (input == L"." || input == L"..") {
      input.clear();
    } else {
      const size_t next = input.find(L'/', 1);
      output += input.substr(0, next);
      input.erase(0, next == std::wstring::npos ? input.size() : next);
    }
  }
  return output;
}

// RFC 3986 section 5.2.3.
std::wstring MergePaths(const UriParts& base, const std::wstring& referencePath) {
  if (base.hasAuthority && base.path.empty())
    return L"/" + referencePath;
  const size_t slash = base.path.rfind(L'/');
  return slash == std::wstring::npos ? referencePath
                                     : base.path.substr(0, slash + 1) + referencePath;
}

// RFC 3986 section 5.3, without a fragment.
std::wstring Recompose(const UriParts& parts) {
  std::wstring text;
  if (parts.hasScheme)
    text += parts.scheme + L":";
  if (parts.hasAuthority)
    text += L"//" + parts.authority;
  text += parts.path;
  if (parts.hasQuery)
    text += L"?" + parts.query;
  return text;
}

bool IsHostCharacter(wchar_t c) {
  return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
         c == L'-' || c == L'.' || c == L'_' || c == L'~';
}

// The port text after the host's colon: empty for the default, else 1-65535.
bool ParsePort(const std::wstring& text, WORD defaultPort, WORD* port) {
  if (text.empty()) {
    *port = defaultPort;
    return true;
  }
  unsigned long value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9')
      return false;
    value = value * 10 + static_cast<unsigned long>(c - L'0');
    if (value > 65535)
      return false;
  }
  if (value == 0)
    return false;
  *port = static_cast<WORD>(value);
  return true;
}

}  // namespace

bool HasControlCharacter(const std::wstring& text) {
  for (wchar_t c : text) {
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F))
      return true;
  }
  return false;
}

bool ParseWebAddress(const std::wstring& address, WebAddress* parts) {
  if (address.size() > kMaxWebAddressLength || HasControlCharacter(address))
    return false;
  const UriParts uri = SplitUri(address);
  if (!uri.hasScheme || !uri.hasAuthority)
    return false;
  const bool secure = _wcsicmp(uri.scheme.c_str(), L"https") == 0;
  if (!secure && _wcsicmp(uri.scheme.c_str(), L"http") != 0)
    return false;
  const size_t colon = uri.authority.find(L':');
  const std::wstring host = uri.authority.substr(0, colon);
  if (host.empty() || host.size() > kMaxHostLength)
    return false;
  for (wchar_t c : host) {
    if (!IsHostCharacter(c))
      return false;
  }
  WORD port = 0;
  const std::wstring portText =
      colon == std::wstring::npos ? std::wstring() : uri.authority.substr(colon + 1);
  if (!ParsePort(portText, secure ? 443 : 80, &port))
    return false;
  parts->secure = secure;
  parts->host = host;
  parts->port = port;
  parts->pathAndQuery = uri.path.empty() ? L"/" : uri.path;
  if (uri.hasQuery)
    parts->pathAndQuery += L"?" + uri.query;
  return true;
}

std::wstring WebAddressText(const WebAddress& parts) {
  std::wstring text = parts.secure ? L"https://" : L"http://";
  text += parts.host;
  if (parts.port != (parts.secure ? 443 : 80)) {
    wchar_t port[8] = L"";
    _snwprintf(port, 8, L":%u", static_cast<unsigned>(parts.port));
    port[7] = L'\0';
    text += port;
  }
  return text + parts.pathAndQuery;
}

std::wstring ResolveReference(const std::wstring& base, const std::wstring& reference) {
  const UriParts b = SplitUri(base);
  const UriParts r = SplitUri(reference);
  UriParts t;
  if (r.hasScheme) {
    t = r;
    t.path = RemoveDotSegments(r.path);
  } else {
    if (r.hasAuthority) {
      t = r;
      t.path = RemoveDotSegments(r.path);
    } else {
      if (r.path.empty()) {
        t.path = b.path;
        t.hasQuery = r.hasQuery || b.hasQuery;
        t.query = r.hasQuery ? r.query : b.query;
      } else {
        t.path = RemoveDotSegments(r.path[0] == L'/' ? r.path : MergePaths(b, r.path));
        t.hasQuery = r.hasQuery;
        t.query = r.query;
      }
      t.hasAuthority = b.hasAuthority;
      t.authority = b.authority;
    }
    t.hasScheme = b.hasScheme;
    t.scheme = b.scheme;
  }
  return Recompose(t);
}

}  // namespace rerozadez
