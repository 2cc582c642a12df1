// Which failure kind, and so which screen line and exit code, a failed step
// and its code come to.
#include "workflow/run_failure.h"

#include <gtest/gtest.h>
#include <wininet.h>

namespace rerozadez {
namespace {

TEST(ClassifyFailure, TheCodeDecidesFirstThenTheStep) {
  struct Case {
    Status status;
    FailureKind kind;
  };
  const Case cases[] = {
      {Status::Ok(), FailureKind::kNone},
      // No connection, for the query and the download alike.
      {Status::Windows(StatusStep::kHttpSendRequest, ERROR_INTERNET_CANNOT_CONNECT),
       FailureKind::kNoConnection},
      {Status::Windows(StatusStep::kDownloadSendRequest, ERROR_INTERNET_NAME_NOT_RESOLVED),
       FailureKind::kNoConnection},
      {Status::Windows(StatusStep::kHttpSendRequest, ERROR_INTERNET_SEC_CERT_CN_INVALID),
       FailureKind::kNoConnection},
      // A proxy's 407 that nobody answered, on either request.
      {Status::Http(StatusStep::kReplyStatus, 407), FailureKind::kProxyRefused},
      {Status::Http(StatusStep::kDownloadReplyStatus, 407), FailureKind::kProxyRefused},
      // An answer that cannot be used.
      {Status::Http(StatusStep::kReplyStatus, 503), FailureKind::kBadReply},
      {Status::Failed(StatusStep::kReplyNotJson, "portal page"), FailureKind::kBadReply},
      {Status::Failed(StatusStep::kReplyDigest), FailureKind::kBadReply},
      {Status::Http(StatusStep::kDownloadReplyStatus, 404), FailureKind::kBadReply},
      {Status::Failed(StatusStep::kDownloadNotTheOffer), FailureKind::kBadReply},
      {Status::Http(StatusStep::kHttpBodyTooLarge, 200), FailureKind::kBadReply},
      {Status::Failed(StatusStep::kDownloadAddress, "ftp://x"), FailureKind::kBadReply},
      // A download that keeps breaking off.
      {Status::Windows(StatusStep::kDownloadSilentReply, 10060), FailureKind::kDownloadBroken},
      {Status::Windows(StatusStep::kDownloadReadBody, ERROR_INTERNET_CONNECTION_RESET),
       FailureKind::kDownloadBroken},
      {Status::Failed(StatusStep::kRouteIncompletePasses), FailureKind::kDownloadBroken},
      // Not the publisher's file.
      {Status::Windows(StatusStep::kStartSignature, 0x800B0100), FailureKind::kNotPublisher},
      {Status::Failed(StatusStep::kStartContent, "MD5 differs"), FailureKind::kNotPublisher},
      // The disk, wherever the write failed.
      {Status::Windows(StatusStep::kDownloadWriteFile, ERROR_DISK_FULL), FailureKind::kDiskProblem},
      {Status::Windows(StatusStep::kDownloadOpenFile, ERROR_ACCESS_DENIED),
       FailureKind::kDiskProblem},
      {Status::Windows(StatusStep::kRegistryWriteValue, ERROR_HANDLE_DISK_FULL),
       FailureKind::kDiskProblem},
      // Another program's file, whether the download or the start met it.
      {Status::Windows(StatusStep::kDownloadOpenFile, ERROR_SHARING_VIOLATION),
       FailureKind::kFileInUse},
      {Status::Windows(StatusStep::kStartHoldFile, ERROR_SHARING_VIOLATION),
       FailureKind::kFileInUse},
      // Everything else kept the setup from starting.
      {Status::Windows(StatusStep::kStartProgram, ERROR_BAD_EXE_FORMAT),
       FailureKind::kSetupNotStarted},
      {Status::Windows(StatusStep::kStartHoldFile, ERROR_FILE_NOT_FOUND),
       FailureKind::kSetupNotStarted},
      {Status::Windows(StatusStep::kRegistryOpenKey, ERROR_ACCESS_DENIED),
       FailureKind::kSetupNotStarted},
      {Status::Windows(StatusStep::kDigestReadFile, ERROR_CRC), FailureKind::kSetupNotStarted},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.kind, ClassifyFailure(c.status)) << DescribeStatus(c.status);
  }
}

}  // namespace
}  // namespace rerozadez
