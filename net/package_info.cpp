#include "net/package_info.h"

#include <json/json.h>

#include <memory>

#include "net/http_client.h"

namespace rerozadez {
namespace {

const char kServicePath[] = "/adpserver/GetVIByAKFWPC";
const char kAppKey[] = "QZTRWVX83LMA";
const DWORD kQueryConnectTimeoutMs = 10000;
// The reply is a document of a few hundred bytes that a live service sends
// at once, so 10 s of silence (as long as the connect may take) already means
// a stalled service. Shorter than the downloader's 30 s, which allows for a
// slow line in the middle of a large file; here the user is waiting on the
// first screen and reaches the failure with Retry sooner.
const DWORD kQueryReceiveTimeoutMs = 10000;

// The texts become a request line, a file's expected size and digest in the
// registry and a version to compare: a line break could add a header to the
// download request, a NUL cut a text short where it is used.
bool HasControlCharacter(const std::string& text) {
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7F)
      return true;
  }
  return false;
}

// Reads one member as text. Absent and null members read as empty text and
// booleans as "true"/"false"; numbers, arrays and objects are not texts the
// caller could use, so they fail, as does a text holding a control character.
bool ReadTextMember(const Json::Value& root, const char* name, std::string* text) {
  const Json::Value& member = root[name];
  if (member.isNull()) {
    text->clear();
    return true;
  }
  if (!member.isString() && !member.isBool())
    return false;
  *text = member.asString();
  return !HasControlCharacter(*text);
}

// One JSON object and nothing after it but white space; no comments, no
// member twice.
bool ParseStrictJson(const std::string& body, Json::Value* root) {
  // jsoncpp takes a NUL byte for the end of the text and would ignore what
  // follows it; JSON has no raw NUL anywhere.
  if (body.find('\0') != std::string::npos)
    return false;
  Json::CharReaderBuilder builder;
  Json::CharReaderBuilder::strictMode(&builder.settings_);
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  std::string errors;
  return reader->parse(body.data(), body.data() + body.size(), root, &errors);
}

}  // namespace

std::string ChannelKeyValue(const std::string& channel) {
  if (channel.empty() || channel == "Trial")
    return "null";
  return channel;
}

std::string BuildPackageInfoUrl(const std::string& baseUrl, const std::string& channel) {
  return baseUrl + kServicePath + "?SDKVer=0&ReqType=WindowsPC&AppKey=" + kAppKey +
         "&AppVerCode=1&AppVerName=1&ChannelKey=" + ChannelKeyValue(channel);
}

bool ParsePackageInfoReply(const std::string& headers, const std::string& body, PackageInfo* info) {
  if (headers.find("200 OK") == std::string::npos)
    return false;
  Json::Value root;
  try {
    if (!ParseStrictJson(body, &root))
      return false;
    if (!root.isObject() || root.size() <= 3)
      return false;
    // Judged on the parsed member, so any spacing of the JSON passes and a
    // "SUCCESS" elsewhere in the text does not.
    const Json::Value& result = root["RES"];
    if (!result.isString() || result.asString() != "SUCCESS")
      return false;
    if (!ReadTextMember(root, "VerName", &info->verName) || info->verName.empty()) {
      return false;
    }
    if (!ReadTextMember(root, "DownloadURL", &info->downloadUrl) || info->downloadUrl.empty()) {
      return false;
    }
    return ReadTextMember(root, "Size", &info->size) && ReadTextMember(root, "FPMD5", &info->fpmd5);
  } catch (const std::exception&) {
    // A reply the JSON library refuses must not end the process.
    return false;
  }
}

bool QueryPackageInfo(const std::string& baseUrl, const std::string& channel, std::string& verName,
                      std::string& downloadUrl, std::string& size, std::string& fpmd5) {
  std::string url = BuildPackageInfoUrl(baseUrl, channel);
  std::string body;
  std::string headers;
  if (!GetHttpClient()->SendRequest(url, std::string(), "GET", body, headers,
                                    kQueryConnectTimeoutMs, kQueryReceiveTimeoutMs)) {
    return false;
  }
  PackageInfo info;
  if (!ParsePackageInfoReply(headers, body, &info))
    return false;
  verName = info.verName;
  downloadUrl = info.downloadUrl;
  size = info.size;
  fpmd5 = info.fpmd5;
  return true;
}

}  // namespace rerozadez
