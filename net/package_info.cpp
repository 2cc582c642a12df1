#include "net/package_info.h"

#include <json/json.h>

#include "net/http_client.h"

namespace rerozadez {
namespace {

const char kServicePath[] = "/adpserver/GetVIByAKFWPC";
const char kAppKey[] = "QZTRWVX83LMA";
const char kSuccessMarker[] = "RES\":\"SUCCESS\"";
const DWORD kQueryConnectTimeoutMs = 10000;

// Reads one member as text. Absent and null members read as empty text and
// booleans as "true"/"false"; numbers, arrays and objects are not texts the
// caller could use, so they fail.
bool ReadTextMember(const Json::Value& root, const char* name, std::string* text) {
  const Json::Value& member = root[name];
  if (member.isNull()) {
    text->clear();
    return true;
  }
  if (!member.isString() && !member.isBool())
    return false;
  *text = member.asString();
  return true;
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
  if (body.find(kSuccessMarker) == std::string::npos)
    return false;

  Json::Value root;
  try {
    Json::Reader reader;
    if (!reader.parse(body.data(), body.data() + body.size(), root, false))
      return false;
    if (!root.isObject() || root.size() <= 3)
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
                                    kQueryConnectTimeoutMs)) {
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
