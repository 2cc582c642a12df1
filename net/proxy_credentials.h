#pragma once

#include <windows.h>
#include <wininet.h>

#include <functional>
#include <string>

namespace rerozadez {

// Credentials for a proxy that asks for them (407 with Basic or Digest),
// typed by the user in Windows' own dialog and kept in memory for the rest
// of the run: every request opens its own session, so each is given them
// before it is sent. Integrated authentication (NTLM, Negotiate) never gets
// here: WinINet answers it with the logged-on user's identity by itself.
// Used on the worker thread only, apart from SetPromptOwner, which the
// window calls before any run starts.
class ProxyCredentials {
 public:
  // The window the dialog is shown over; without one nothing is asked.
  void SetPromptOwner(HWND owner);

  // A new run may ask again after the user cancelled the dialog.
  void BeginRun();

  // Sends request through send (a call of HttpSendRequest): first with the
  // credentials typed earlier in this run, if any, and again after each 407
  // the user answered in the proxy-credentials dialog. False when a send
  // failed; a 407 that stays unanswered is the reply the caller then reads.
  bool Send(HINTERNET request, const std::function<BOOL()>& send);

 private:
  // Gives request the credentials typed earlier in this run, if any.
  void ApplyTo(HINTERNET request);

  // For a request that has just been answered: when the answer is 407,
  // shows the proxy-credentials dialog (InternetErrorDlg) over the owner,
  // keeps what the user typed and returns true: send the request again
  // (after reading what is left of the 407 body). False when the answer is
  // not 407, or there is no owner, or the user did not confirm (Cancel, or
  // the dialog failed): then nothing more is asked until the next run.
  bool AskAfterProxyRefusal(HINTERNET request);

  HWND owner_ = nullptr;
  bool declined_ = false;
  std::wstring userName_;
  std::wstring password_;
};

// The one ProxyCredentials, created on first use and never destroyed.
ProxyCredentials* GetProxyCredentials();

}  // namespace rerozadez
