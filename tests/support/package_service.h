#pragma once

#include <string>

#include "tools/test_http_server/test_http_server.h"

namespace quilltest {

// The MD5 of bytes as 32 lower-case hex digits. Computed here rather than by
// the program, so that a fault in the program's digest cannot vouch for
// itself.
std::string Md5Hex(const std::string& bytes);

// A package service and the download server of its offer in one loopback
// TestHttpServer (tests and the demo's service):
//
//   PackageService service;
//   ASSERT_TRUE(service.Start());
//   environment.Set(L"QUILL_TEST_SERVICE_URL", service.BaseUrl());
//   service.Offer("1.0.0.100", setupBytes);  // the offer and its file
//   service.SetRoute(PackageService::kFilePath, faultyRoute);  // when wanted
class PackageService : public TestHttpServer {
 public:
  // The query, without its parameters.
  static constexpr char kQueryPath[] = "/adpserver/GetVIByAKFWPC";
  // Where Offer serves the file unless told another path.
  static constexpr char kFilePath[] = "/downloads/Quillnest_full_setup.exe";

  // The query's reply: RES SUCCESS, VerName version, DownloadURL downloadUrl,
  // and the Size and FPMD5 of bytes.
  static HttpRoute OfferReply(const std::string& version, const std::string& bytes,
                              const std::string& downloadUrl);

  // Answers the query with the offer of bytes as version at path of this
  // server, and serves bytes there.
  void Offer(const std::string& version, const std::string& bytes,
             const std::string& path = kFilePath);

  // How many requests so far had a target starting with path.
  int RequestsFor(const std::string& path) const;
};

}  // namespace quilltest
