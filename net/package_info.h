#pragma once

#include <string>

namespace rerozadez {

// The ChannelKey value for an ANSI channel: "null" for an empty channel or
// exactly "Trial", otherwise the channel unchanged (no escaping).
std::string ChannelKeyValue(const std::string& channel);

// The whole query URL: baseUrl, the service path, the fixed query and the
// ChannelKey value of channel, which ends the URL.
std::string BuildPackageInfoUrl(const std::string& baseUrl, const std::string& channel);

// The four texts of a package-information reply.
struct PackageInfo {
  std::string verName;
  std::string downloadUrl;
  std::string size;
  std::string fpmd5;
};

// Judges a reply: headers holding "200 OK", the whole body one strict JSON
// object (nothing after it but white space) of more than 3 members whose
// "RES" member is the string "SUCCESS", with non-empty "VerName" and
// "DownloadURL". Each of
// the four members may be a string, absent or null (empty text) or a boolean
// ("true"/"false"); any other type, or a text holding a control character
// (a line break, a NUL), fails. True fills info; false leaves it unspecified.
bool ParsePackageInfoReply(const std::string& headers, const std::string& body, PackageInfo* info);

// Asks the service at baseUrl (scheme, host and port) which full setup to
// fetch for an ANSI channel. True with the four texts filled when the reply
// passed every judgement; the outputs carry nothing usable after false.
// Blocks the calling thread.
bool QueryPackageInfo(const std::string& baseUrl, const std::string& channel, std::string& verName,
                      std::string& downloadUrl, std::string& size, std::string& fpmd5);

}  // namespace rerozadez
