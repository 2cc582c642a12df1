// How a failure reads in the log: its step by name and number, its code in
// Windows' words, its detail.
#include "platform/status.h"

#include <gtest/gtest.h>
#include <wininet.h>

namespace rerozadez {
namespace {

TEST(DescribeStatus, NamesTheStepItsNumberTheCodeAndTheDetail) {
  struct Case {
    Status status;
    const char* expectedStart;
  };
  const Case cases[] = {
      {Status::Ok(), "success"},
      {Status::Windows(StatusStep::kDownloadWriteFile, ERROR_DISK_FULL, "C:\\setup.exe"),
       "download: write the setup file (step 1010), Windows error 112 ("},
      {Status::Windows(StatusStep::kHttpSendRequest, ERROR_INTERNET_CANNOT_CONNECT),
       "package query: send the request (step 2009), WinINet error 12029"},
      {Status::Http(StatusStep::kReplyStatus, 407),
       "package reply: not 200 OK (step 2101), HTTP status 407"},
      {Status::Fdi(StatusStep::kCabinetCopy, 4), "cabinet: extract (step 3304), FDI error 4"},
      {Status::Windows(StatusStep::kStartSignature, 0x800B0100),
       "start: signature refused (step 4003), Windows error 0x800B0100"},
      {Status::Failed(StatusStep::kReplyNotJson, "line 1"),
       "package reply: not one JSON object (step 2102), no code: line 1"},
  };
  for (const Case& c : cases) {
    const std::string line = DescribeStatus(c.status);
    EXPECT_EQ(0u, line.find(c.expectedStart)) << line;
  }
  // Windows' own words for its codes, without the line end FormatMessage adds.
  const std::string full = DescribeStatus(cases[1].status);
  EXPECT_GT(full.size(), std::string(cases[1].expectedStart).size() + 2) << full;
  EXPECT_EQ(std::string::npos, full.find('\n')) << full;
  EXPECT_NE(std::string::npos, full.find("): C:\\setup.exe")) << full;
}

}  // namespace
}  // namespace rerozadez
