#include "net/proxy_credentials.h"

#include <vector>

#include "platform/diagnostic_log.h"
#include "platform/process_instance.h"

namespace rerozadez {
namespace {

// A text option of a request handle; empty when it has none.
std::wstring QueryTextOption(HINTERNET request, DWORD option) {
  DWORD size = 0;
  InternetQueryOptionW(request, option, nullptr, &size);
  if (size == 0)
    return std::wstring();
  std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
  if (!InternetQueryOptionW(request, option, text.data(), &size))
    return std::wstring();
  return std::wstring(text.data());
}

DWORD StatusOf(HINTERNET request) {
  DWORD status = 0;
  DWORD size = sizeof(status);
  HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr);
  return status;
}

// The 407 page must be read before the same request is sent again.
void DrainBody(HINTERNET request) {
  char buffer[4096];
  DWORD got = 0;
  for (int reads = 0; reads < 64; ++reads) {
    if (!InternetReadFile(request, buffer, sizeof(buffer), &got) || got == 0)
      return;
  }
}

}  // namespace

void ProxyCredentials::SetPromptOwner(HWND owner) {
  owner_ = owner;
}

void ProxyCredentials::BeginRun() {
  declined_ = false;
}

void ProxyCredentials::ApplyTo(HINTERNET request) {
  if (userName_.empty())
    return;
  // The lengths count the terminating zero, which C++ strings keep.
  InternetSetOptionW(request, INTERNET_OPTION_PROXY_USERNAME, &userName_[0],
                     static_cast<DWORD>(userName_.size() + 1));
  InternetSetOptionW(request, INTERNET_OPTION_PROXY_PASSWORD, &password_[0],
                     static_cast<DWORD>(password_.size() + 1));
}

bool ProxyCredentials::AskAfterProxyRefusal(HINTERNET request) {
  if (StatusOf(request) != HTTP_STATUS_PROXY_AUTH_REQ)
    return false;
  if (declined_ || owner_ == nullptr) {
    LogLine("proxy asks for credentials: %s", declined_ ? "declined in this run" : "no window");
    return false;
  }
  DrainBody(request);
  // The filter flag makes the dialog read the status itself; the change
  // flag lets it put what was typed on the request.
  const DWORD answer =
      InternetErrorDlg(owner_, request, ERROR_INTERNET_INCORRECT_PASSWORD,
                       FLAGS_ERROR_UI_FILTER_FOR_ERRORS | FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS |
                           FLAGS_ERROR_UI_FLAGS_GENERATE_DATA,
                       nullptr);
  if (answer != ERROR_INTERNET_FORCE_RETRY) {
    // Cancel (Windows says ERROR_CANCELLED, Wine's dialog 0) or a failure.
    declined_ = true;
    LogLine("proxy credentials dialog ended with %lu: not sent again", answer);
    return false;
  }
  userName_ = QueryTextOption(request, INTERNET_OPTION_PROXY_USERNAME);
  password_ = QueryTextOption(request, INTERNET_OPTION_PROXY_PASSWORD);
  LogLine("proxy credentials typed (%s): the request goes again",
          userName_.empty() ? "kept by WinINet" : "kept for the run");
  return true;
}

bool ProxyCredentials::Send(HINTERNET request, const std::function<BOOL()>& send) {
  do {
    ApplyTo(request);
    if (!send())
      return false;
  } while (AskAfterProxyRefusal(request));
  return true;
}

ProxyCredentials* GetProxyCredentials() {
  return ProcessInstance<ProxyCredentials>();
}

}  // namespace rerozadez
