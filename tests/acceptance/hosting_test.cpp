// The package service as a publisher hosts it: static files behind Debian's
// nginx with the README's server block as it stands (the HostingNginx
// fixture, tests/support/nginx-static.sh).
#include <windows.h>

#include <gtest/gtest.h>
#include <shlobj.h>

#include <regex>
#include <string>

#include "tests/support/package_service.h"
#include "tests/support/program_driver.h"
#include "tests/support/program_world.h"

namespace {

using quilltest::ReadFileBytes;

// A line the fixture wrote into its state folder, without its line end.
std::string StateLine(const wchar_t* name) {
  const std::string text = ReadFileBytes(std::wstring(QUILL_NGINX_STATE) + name);
  return text.substr(0, text.find('\n'));
}

// Writes bytes to the file at path, making its folders.
bool Publish(const std::wstring& path, const std::string& bytes) {
  const std::wstring file = quilltest::Backslashed(path);
  SHCreateDirectoryExW(nullptr, file.substr(0, file.rfind(L'\\')).c_str(), nullptr);
  return quilltest::WriteFileBytes(file, bytes);
}

class HostingTest : public quilltest::ProgramWorld {};

// The program, configured for a channel, gets that channel's reply and then
// the setup in Range requests, and starts it.
TEST_F(HostingTest, ReadmeNginxBlockServesTheChannelsReplyAndTheSetupInRanges) {
  const std::string scratch = StateLine(L"/scratch");
  const std::string port = StateLine(L"/port");
  ASSERT_FALSE(scratch.empty() || port.empty()) << "the HostingNginx fixture started no nginx";
  const std::wstring nginx = L"Z:" + std::wstring(scratch.begin(), scratch.end());
  const std::string address = "http://127.0.0.1:" + port;
  const std::string setup = "/downloads/Quillnest_full_" QUILL_SETUP_VERSION ".exe";
  ASSERT_TRUE(Publish(
      nginx + L"/root/adpserver/channels/web.json",
      quilltest::PackageService::OfferReply(QUILL_SETUP_VERSION, served_, address + setup).body));
  ASSERT_TRUE(Publish(nginx + L"/root" + std::wstring(setup.begin(), setup.end()), served_));
  ASSERT_TRUE(quilltest::WriteFileBytes(scratch_.File(L"SetupConfig.txt"), "Channel=web\r\n"));

  StartPhone();
  environment_.Set(L"QUILL_TEST_SERVICE_URL", address);
  StartAndInstall(&first_);
  ExpectSetupStartedFromTheServedFile(first_);
  const std::string log = ReadFileBytes(nginx + L"/access.log");
  EXPECT_TRUE(std::regex_search(
      log, std::regex("200 GET /adpserver/GetVIByAKFWPC\\?[^\n]*&ChannelKey=web range=-\n")))
      << log;
  EXPECT_NE(std::string::npos, log.find("206 GET " + setup + " range=bytes=0-\n")) << log;
}

}  // namespace
