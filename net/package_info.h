#pragma once

#include <cstddef>
#include <string>

#include "platform/status.h"

namespace rerozadez {

// How many levels of values the JSON reader enters to read text: the
// document is the first, each array or object that holds anything adds one
// for its members (an empty one holds no level of its own below it). Brackets
// inside strings do not count. A well-formed document gets exactly the
// depth of its deepest value; a broken one never less than the reader would
// reach before it finds the fault.
size_t JsonNestingDepth(const std::string& text);

// How deep the package query lets jsoncpp's reader go. The reader would
// throw past it, and the program is built without exceptions, so a reply
// nested deeper is refused before the reader sees it.
const size_t kJsonDepthLimit = 1000;

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
// "DownloadURL". Each of the four members may be a string, absent or null
// (empty text) or a boolean ("true"/"false"); any other type, or a text
// holding a control character (a line break, a NUL), fails. Each refusal
// has its step: kReplyStatus (code: the status line's number, 0 when it has
// none), kReplyNotJson (detail: the parser's first error),
// kReplyTooFewMembers, kReplyNotSuccess (detail: RES, cut short), and
// kReplyVersion, kReplyAddress, kReplySize, kReplyDigest (detail: missing,
// empty, wrong type or control character). Ok fills info; a refusal leaves
// it unspecified.
Status ParsePackageInfoReply(const std::string& headers, const std::string& body,
                             PackageInfo* info);

// Asks the service at baseUrl (scheme, host and port) which full setup to
// fetch for an ANSI channel. Ok with the four texts filled when the reply
// passed every judgement; otherwise the request's Status (HttpClient's
// SendRequest) or the reply's (ParsePackageInfoReply), the outputs
// untouched. An error status outranks an empty body: a 407 the user did not
// answer ends at kReplyStatus with 407. Blocks the calling thread.
Status QueryPackageInfo(const std::string& baseUrl, const std::string& channel,
                        std::string& verName, std::string& downloadUrl, std::string& size,
                        std::string& fpmd5);

}  // namespace rerozadez
