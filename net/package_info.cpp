#include "net/package_info.h"

#include <json/json.h>

#include <algorithm>
#include <cstdlib>
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

// At most maxBytes of text, never cutting a UTF-8 character in two.
std::string Shortened(const std::string& text, size_t maxBytes = 64) {
  if (text.size() <= maxBytes)
    return text;
  size_t end = maxBytes;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
    --end;
  return text.substr(0, end) + "...";
}

// kReplyStatus with the status line's number unless the headers hold
// "200 OK".
Status JudgeReplyStatus(const std::string& headers) {
  if (headers.find("200 OK") != std::string::npos)
    return Status::Ok();
  const std::string line = headers.substr(0, headers.find("\r\n"));
  const size_t space = line.find(' ');
  const unsigned long number =
      space == std::string::npos ? 0 : strtoul(line.c_str() + space + 1, nullptr, 10);
  return Status::Http(StatusStep::kReplyStatus, number, Shortened(line));
}

// jsoncpp's first message ("* Line 1, Column 2\n  Syntax error: ...\n") on
// one line.
std::string FirstError(const std::string& errors) {
  std::string text = errors.substr(0, errors.find("\n* ", 1));
  if (text.compare(0, 2, "* ") == 0)
    text.erase(0, 2);
  for (size_t at = text.find("\n  "); at != std::string::npos; at = text.find("\n  "))
    text.replace(at, 3, ": ");
  while (!text.empty() && text.back() == '\n')
    text.pop_back();
  return Shortened(text, 120);
}

// One JSON object and nothing after it but white space; no comments, no
// member twice.
Status ParseStrictJson(const std::string& body, Json::Value* root) {
  // jsoncpp takes a NUL byte for the end of the text and would ignore what
  // follows it; JSON has no raw NUL anywhere.
  if (body.find('\0') != std::string::npos)
    return Status::Failed(StatusStep::kReplyNotJson, "a NUL byte in the body");
  if (JsonNestingDepth(body) > kJsonDepthLimit) {
    return Status::Failed(StatusStep::kReplyNotJson,
                          "nested more than " + std::to_string(kJsonDepthLimit) + " deep");
  }
  Json::CharReaderBuilder builder;
  Json::CharReaderBuilder::strictMode(&builder.settings_);
  builder.settings_["stackLimit"] = static_cast<Json::UInt>(kJsonDepthLimit);
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  std::string errors;
  if (!reader->parse(body.data(), body.data() + body.size(), root, &errors))
    return Status::Failed(StatusStep::kReplyNotJson, FirstError(errors));
  if (!root->isObject())
    return Status::Failed(StatusStep::kReplyNotJson, "not an object");
  return Status::Ok();
}

// Judged on the parsed member, so any spacing of the JSON passes and a
// "SUCCESS" elsewhere in the text does not.
Status JudgeResult(const Json::Value& root) {
  const Json::Value& result = root["RES"];
  if (result.isString() && result.asString() == "SUCCESS")
    return Status::Ok();
  return Status::Failed(StatusStep::kReplyNotSuccess,
                        result.isString() ? Shortened(result.asString())
                                          : (result.isNull() ? "missing" : "not a text"));
}

// Reads one of the four texts. Absent and null members read as empty text
// and booleans as "true"/"false"; numbers, arrays and objects are not texts
// the caller could use, nor is a text holding a control character; a
// required text must not be empty.
Status ReadTextMember(const Json::Value& root, const char* name, bool required, StatusStep step,
                      std::string* text) {
  const Json::Value& member = root[name];
  const char* why = nullptr;
  text->clear();
  if (member.isNull()) {
    why = required ? "missing" : nullptr;
  } else if (!member.isString() && !member.isBool()) {
    why = "wrong type";
  } else {
    *text = member.asString();
    if (HasControlCharacter(*text))
      why = "control character";
    else if (required && text->empty())
      why = "empty";
  }
  return why != nullptr ? Status::Failed(step, why) : Status::Ok();
}

}  // namespace

size_t JsonNestingDepth(const std::string& text) {
  size_t depth = 0;
  size_t deepest = 0;
  bool inString = false;
  for (size_t at = 0; at < text.size(); ++at) {
    const char c = text[at];
    if (inString) {
      if (c == '\\')
        ++at;  // the escaped character, a quote or a backslash included
      else if (c == '"')
        inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      ++depth;
      // The reader goes one level further for a bracket's first member
      // unless the closing bracket follows; it skips these four spaces.
      const size_t next = text.find_first_not_of(" \t\r\n", at + 1);
      const bool holds = next != std::string::npos && text[next] != (c == '[' ? ']' : '}');
      deepest = std::max(deepest, holds ? depth + 1 : depth);
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return deepest;
}

std::string ChannelKeyValue(const std::string& channel) {
  if (channel.empty() || channel == "Trial")
    return "null";
  return channel;
}

std::string BuildPackageInfoUrl(const std::string& baseUrl, const std::string& channel) {
  return baseUrl + kServicePath + "?SDKVer=0&ReqType=WindowsPC&AppKey=" + kAppKey +
         "&AppVerCode=1&AppVerName=1&ChannelKey=" + ChannelKeyValue(channel);
}

Status ParsePackageInfoReply(const std::string& headers, const std::string& body,
                             PackageInfo* info) {
  Status status = JudgeReplyStatus(headers);
  if (!status.ok())
    return status;
  Json::Value root;
  status = ParseStrictJson(body, &root);
  if (!status.ok())
    return status;
  if (root.size() <= 3) {
    return Status::Failed(StatusStep::kReplyTooFewMembers,
                          std::to_string(root.size()) + " members");
  }
  status = JudgeResult(root);
  if (!status.ok())
    return status;
  const struct {
    const char* name;
    bool required;
    StatusStep step;
    std::string* text;
  } members[] = {{"VerName", true, StatusStep::kReplyVersion, &info->verName},
                 {"DownloadURL", true, StatusStep::kReplyAddress, &info->downloadUrl},
                 {"Size", false, StatusStep::kReplySize, &info->size},
                 {"FPMD5", false, StatusStep::kReplyDigest, &info->fpmd5}};
  for (const auto& member : members) {
    status = ReadTextMember(root, member.name, member.required, member.step, member.text);
    if (!status.ok())
      return status;
  }
  return Status::Ok();
}

Status QueryPackageInfo(const std::string& baseUrl, const std::string& channel,
                        std::string& verName, std::string& downloadUrl, std::string& size,
                        std::string& fpmd5) {
  std::string body;
  std::string headers;
  const Status sent =
      GetHttpClient()->SendRequest(BuildPackageInfoUrl(baseUrl, channel), std::string(), "GET",
                                   body, headers, kQueryConnectTimeoutMs, kQueryReceiveTimeoutMs);
  // An error status outranks an empty body: the proxy-credentials dialog has
  // read a 407's page by the time the user cancels it.
  if (sent.step == StatusStep::kHttpEmptyBody) {
    const Status reply = JudgeReplyStatus(headers);
    if (!reply.ok())
      return reply;
  }
  if (!sent.ok())
    return sent;
  PackageInfo info;
  const Status judged = ParsePackageInfoReply(headers, body, &info);
  if (!judged.ok())
    return judged;
  verName = info.verName;
  downloadUrl = info.downloadUrl;
  size = info.size;
  fpmd5 = info.fpmd5;
  return Status::Ok();
}

}  // namespace rerozadez
