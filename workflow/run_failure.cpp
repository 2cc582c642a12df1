#include "workflow/run_failure.h"

#include <windows.h>
#include <wininet.h>

namespace rerozadez {
namespace {

// The socket's time-out, which Wine's WinINet reports in place of its own.
const unsigned long kSocketTimedOut = 10060;

bool IsBetween(StatusStep step, StatusStep first, StatusStep last) {
  return static_cast<int>(step) >= static_cast<int>(first) &&
         static_cast<int>(step) <= static_cast<int>(last);
}

bool IsRequestStep(StatusStep step) {
  return IsBetween(step, StatusStep::kDownloadOpenSession, StatusStep::kDownloadQueryStatus) ||
         IsBetween(step, StatusStep::kHttpOpenSession, StatusStep::kHttpQueryHeaders);
}

// Failures that mean the service could not be reached at all.
bool IsConnectionCode(unsigned long code) {
  switch (code) {
    case ERROR_INTERNET_TIMEOUT:
    case ERROR_INTERNET_NAME_NOT_RESOLVED:
    case ERROR_INTERNET_CANNOT_CONNECT:
    case ERROR_INTERNET_CONNECTION_ABORTED:
    case ERROR_INTERNET_CONNECTION_RESET:
    case ERROR_INTERNET_DISCONNECTED:
    case ERROR_INTERNET_SERVER_UNREACHABLE:
    case ERROR_INTERNET_PROXY_SERVER_UNREACHABLE:
    case kSocketTimedOut:
      return true;
    default:
      return false;
  }
}

// A kind that the code alone decides, wherever the step was.
FailureKind KindOfCode(const Status& status) {
  if (status.codeKind == CodeKind::kHttp) {
    return status.code == HTTP_STATUS_PROXY_AUTH_REQ ? FailureKind::kProxyRefused
                                                     : FailureKind::kNone;
  }
  if (status.codeKind != CodeKind::kWindows)
    return FailureKind::kNone;
  switch (status.code) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
      return FailureKind::kFileInUse;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_WRITE_PROTECT:
      return FailureKind::kDiskProblem;
  }
  if (IsRequestStep(status.step) && IsConnectionCode(status.code))
    return FailureKind::kNoConnection;
  return FailureKind::kNone;
}

}  // namespace

FailureKind ClassifyFailure(const Status& status) {
  if (status.ok())
    return FailureKind::kNone;
  const FailureKind byCode = KindOfCode(status);
  if (byCode != FailureKind::kNone)
    return byCode;
  const StatusStep step = status.step;
  switch (step) {
    case StatusStep::kDownloadOpenFile:
    case StatusStep::kDownloadWriteFile:
      return FailureKind::kDiskProblem;
    case StatusStep::kDownloadSilentReply:
    case StatusStep::kDownloadReadBody:
    case StatusStep::kRouteIncompletePasses:
      return FailureKind::kDownloadBroken;
    case StatusStep::kStartContent:
    case StatusStep::kStartSignature:
    case StatusStep::kStartVersion:
    case StatusStep::kRouteRefusedFiles:
      return FailureKind::kNotPublisher;
    case StatusStep::kDownloadReplyStatus:
    case StatusStep::kDownloadRedirect:
    case StatusStep::kDownloadAddress:
    case StatusStep::kDownloadNotTheOffer:
    case StatusStep::kHttpCrackUrl:
    case StatusStep::kHttpNotOverHttps:
    case StatusStep::kHttpEmptyBody:
    case StatusStep::kHttpBodyTooLarge:
      return FailureKind::kBadReply;
    default:
      break;
  }
  if (IsBetween(step, StatusStep::kReplyStatus, StatusStep::kReplyDigest))
    return FailureKind::kBadReply;
  // Any other failure of a request (a certificate refused, a send that
  // failed) left the program without a usable connection to the service.
  if (IsRequestStep(step))
    return FailureKind::kNoConnection;
  return FailureKind::kSetupNotStarted;
}

const char* FailureKindName(FailureKind kind) {
  switch (kind) {
    case FailureKind::kNone:
      return "none";
    case FailureKind::kNoConnection:
      return "no connection";
    case FailureKind::kProxyRefused:
      return "the proxy refused";
    case FailureKind::kBadReply:
      return "unusable answer";
    case FailureKind::kDownloadBroken:
      return "the download kept breaking off";
    case FailureKind::kNotPublisher:
      return "not the publisher's file";
    case FailureKind::kDiskProblem:
      return "disk full or not writable";
    case FailureKind::kFileInUse:
      return "file in use";
    case FailureKind::kSetupNotStarted:
      return "the setup could not be started";
  }
  return "unknown";
}

}  // namespace rerozadez
