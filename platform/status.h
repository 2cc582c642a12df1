#pragma once

// How an operation ended: the step that failed, the code Windows (or WinINet,
// a server, FDI) gave for it, and a short detail. Every product operation
// that can fail returns one; whoever decides what the failure means for the
// run logs it, once, with LogStatus.

#include <windows.h>

#include <string>

namespace rerozadez {

// The steps an operation can fail at, numbered for the log. The download
// (1002..1016) and the package query (2001..2013) keep the numbers their
// error codes always had; a gap is a step that no longer exists.
enum class StatusStep : int {
  kNone = 0,

  // The resumable download of the full setup.
  kDownloadOpenFile = 1002,
  kDownloadOpenSession = 1003,
  kDownloadConnect = 1004,
  kDownloadOpenRequest = 1005,
  kDownloadAddHeaders = 1006,
  kDownloadSetTimeouts = 1007,
  kDownloadSendRequest = 1008,
  kDownloadQueryStatus = 1009,
  kDownloadWriteFile = 1010,
  kDownloadReplyStatus = 1011,  // an error status (code: the HTTP status)
  kDownloadRedirect = 1012,     // a redirect not followed
  kDownloadAddress = 1013,      // not an address we fetch
  kDownloadSilentReply = 1014,  // the headers came, then no body byte in time
  kDownloadReadBody = 1015,     // a read failed within the body
  kDownloadNotTheOffer = 1016,  // the reply's length says it is another file

  // The package-information query: the request...
  kHttpCrackUrl = 2001,
  kHttpOpenSession = 2002,
  kHttpConnect = 2003,
  kHttpAttemptConnect = 2004,
  kHttpOpenRequest = 2005,
  kHttpSendRequest = 2009,
  kHttpQueryHeaders = 2010,
  kHttpNotOverHttps = 2012,  // an https request answered over plain http
  kHttpEmptyBody = 2013,
  kHttpAddHeaders = 2014,
  kHttpSetTimeouts = 2015,
  kHttpBodyTooLarge = 2016,  // larger than any reply of the service: not kept
  // ...and the judgement of its reply.
  kReplyStatus = 2101,         // not "200 OK" (code: the HTTP status)
  kReplyNotJson = 2102,        // not one strict JSON object
  kReplyTooFewMembers = 2103,  // not an object of more than 3 members
  kReplyNotSuccess = 2104,     // "RES" is not the string "SUCCESS"
  kReplyVersion = 2105,        // "VerName" missing, empty or unusable
  kReplyAddress = 2106,        // "DownloadURL" missing, empty or unusable
  kReplySize = 2107,           // "Size" unusable
  kReplyDigest = 2108,         // "FPMD5" unusable

  // The registry.
  kRegistryOpenKey = 3001,
  kRegistryWriteValue = 3002,
  kRegistryReadValue = 3003,

  // A file's MD5.
  kDigestOpenFile = 3101,
  kDigestProvider = 3102,
  kDigestReadFile = 3103,
  kDigestHash = 3104,

  // Deploying the carried bridge tool.
  kBridgeFindResource = 3201,
  kBridgeCreateCabinet = 3202,
  kBridgeWriteCabinet = 3203,
  kBridgeOpenFile = 3204,
  kBridgeFileSize = 3205,  // not the size the build packed
  kBridgeReadFile = 3206,
  kBridgeFileDigest = 3207,  // not the MD5 the build packed
  kBridgeCabinetHeader = 3208,

  // Unpacking a cabinet.
  kCabinetStartFdi = 3301,
  kCabinetOpen = 3302,
  kCabinetNotACabinet = 3303,
  kCabinetCopy = 3304,  // FDICopy failed (code: FDI's error number)
  kCabinetMakeFolder = 3305,
  kCabinetCreateFile = 3306,

  // The one start gate for programs from outside.
  kStartHoldFile = 4001,   // the file could not be held against changes
  kStartContent = 4002,    // not the size or digest expected
  kStartSignature = 4003,  // the signature was refused (code: WinVerifyTrust's)
  kStartProgram = 4004,    // verified, but Windows did not start it
  kStartVersion = 4005,    // not the product or version wanted (code: version.dll's)

  // The setup run.
  kRouteIncompletePasses = 4101,  // the download kept ending before the file was whole
  kRouteRefusedFiles = 4102,      // every complete file was refused
  kRunSetupNotStarted = 4103,     // the downloaded setup did not start, three times

  // The SD card route.
  kCardMoveFile = 4201,  // the pulled file could not take the setup file's name

  // The offline layout (/layout) and the folder it fills (/source).
  kLayoutMakeFolder = 4301,
  kLayoutCopyFile = 4302,
  kLayoutCopyDiffers = 4303,  // the copy's digest is not the verified file's
  kLayoutWriteManifest = 4304,
  kSourceNoManifest = 4305,  // offline, and no manifest to check the folder's setup against
};

// What a Status's code is.
enum class CodeKind : unsigned char {
  kNone,
  kWindows,  // GetLastError, a registry result, WinINet (12xxx) or an HRESULT
  kHttp,     // an HTTP status
  kFdi,      // an FDIERROR number
};

// How an operation ended. Default-constructed: success.
struct [[nodiscard]] Status {
  StatusStep step = StatusStep::kNone;
  CodeKind codeKind = CodeKind::kNone;
  unsigned long code = 0;
  std::string detail;  // short, for the log: a path, an address, a reason

  bool ok() const { return step == StatusStep::kNone; }

  static Status Ok() { return Status(); }
  // A failure with no code behind it.
  static Status Failed(StatusStep step, std::string detail = std::string());
  // A failure with a Windows code (a registry function's result, a WinINet
  // error, an HRESULT).
  static Status Windows(StatusStep step, unsigned long code, std::string detail = std::string());
  // A failure with GetLastError's code, read before anything else runs.
  static Status LastError(StatusStep step, std::string detail = std::string());
  static Status Http(StatusStep step, unsigned long status, std::string detail = std::string());
  static Status Fdi(StatusStep step, unsigned long fdiError, std::string detail = std::string());
};

// The log's name of a step ("download: send the request"); "no step" for
// kNone, "step" for a number this build does not know.
const char* StepName(StatusStep step);

// The code in words: "Windows error 5 (Access is denied.)", "WinINet error
// 12029 (...)", "HTTP status 407", "FDI error 2", "no code". Windows' own
// text where it has one (FormatMessage; wininet.dll's for 12000..12999).
std::string DescribeCode(CodeKind kind, unsigned long code);

// One line for the log: "<step name> (step N), <code in words>: <detail>";
// "success" for an ok status.
std::string DescribeStatus(const Status& status);

// Writes "<context> failed: <DescribeStatus>" to the diagnostic log. The one
// way a failure reaches the log.
void LogStatus(const char* context, const Status& status);

}  // namespace rerozadez
