#include "platform/status.h"

#include <cstdio>
#include <utility>

#include "platform/diagnostic_log.h"
#include "platform/text_encoding.h"

namespace rerozadez {
namespace {

struct StepEntry {
  StatusStep step;
  const char* name;
};

const StepEntry kStepNames[] = {
    {StatusStep::kNone, "no step"},
    {StatusStep::kDownloadOpenFile, "download: open the setup file"},
    {StatusStep::kDownloadOpenSession, "download: open the internet session"},
    {StatusStep::kDownloadConnect, "download: connect"},
    {StatusStep::kDownloadOpenRequest, "download: open the request"},
    {StatusStep::kDownloadAddHeaders, "download: add the request headers"},
    {StatusStep::kDownloadSetTimeouts, "download: set the time-outs"},
    {StatusStep::kDownloadSendRequest, "download: send the request"},
    {StatusStep::kDownloadQueryStatus, "download: read the reply status"},
    {StatusStep::kDownloadWriteFile, "download: write the setup file"},
    {StatusStep::kDownloadReplyStatus, "download: error reply"},
    {StatusStep::kDownloadRedirect, "download: redirect not followed"},
    {StatusStep::kDownloadAddress, "download: address refused"},
    {StatusStep::kDownloadSilentReply, "download: no body byte within the time-out"},
    {StatusStep::kDownloadReadBody, "download: read the body"},
    {StatusStep::kDownloadNotTheOffer, "download: the reply is not the offered file"},
    {StatusStep::kHttpCrackUrl, "package query: address refused"},
    {StatusStep::kHttpOpenSession, "package query: open the internet session"},
    {StatusStep::kHttpConnect, "package query: connect"},
    {StatusStep::kHttpAttemptConnect, "package query: attempt to connect"},
    {StatusStep::kHttpOpenRequest, "package query: open the request"},
    {StatusStep::kHttpSendRequest, "package query: send the request"},
    {StatusStep::kHttpQueryHeaders, "package query: read the reply headers"},
    {StatusStep::kHttpNotOverHttps, "package query: the https request was answered over http"},
    {StatusStep::kHttpEmptyBody, "package query: empty reply"},
    {StatusStep::kHttpAddHeaders, "package query: add the request headers"},
    {StatusStep::kHttpSetTimeouts, "package query: set the time-outs"},
    {StatusStep::kHttpBodyTooLarge, "package query: the reply is too large to be one"},
    {StatusStep::kReplyStatus, "package reply: not 200 OK"},
    {StatusStep::kReplyNotJson, "package reply: not one JSON object"},
    {StatusStep::kReplyTooFewMembers, "package reply: too few members"},
    {StatusStep::kReplyNotSuccess, "package reply: RES is not SUCCESS"},
    {StatusStep::kReplyVersion, "package reply: VerName unusable"},
    {StatusStep::kReplyAddress, "package reply: DownloadURL unusable"},
    {StatusStep::kReplySize, "package reply: Size unusable"},
    {StatusStep::kReplyDigest, "package reply: FPMD5 unusable"},
    {StatusStep::kRegistryOpenKey, "registry: open or create the key"},
    {StatusStep::kRegistryWriteValue, "registry: write the value"},
    {StatusStep::kRegistryReadValue, "registry: read the value"},
    {StatusStep::kDigestOpenFile, "digest: open the file"},
    {StatusStep::kDigestProvider, "digest: acquire the MD5 provider"},
    {StatusStep::kDigestReadFile, "digest: read the file"},
    {StatusStep::kDigestHash, "digest: hash"},
    {StatusStep::kBridgeFindResource, "bridge tool: load the carried cabinet"},
    {StatusStep::kBridgeCreateCabinet, "bridge tool: create the cabinet file"},
    {StatusStep::kBridgeWriteCabinet, "bridge tool: write the cabinet file"},
    {StatusStep::kBridgeOpenFile, "bridge tool: hold a file"},
    {StatusStep::kBridgeFileSize, "bridge tool: a file is not the size packed"},
    {StatusStep::kBridgeReadFile, "bridge tool: read a file"},
    {StatusStep::kBridgeFileDigest, "bridge tool: a file is not the one packed (MD5)"},
    {StatusStep::kBridgeCabinetHeader, "bridge tool: the cabinet's header is not sound"},
    {StatusStep::kCabinetStartFdi, "cabinet: start FDI"},
    {StatusStep::kCabinetOpen, "cabinet: open the cabinet"},
    {StatusStep::kCabinetNotACabinet, "cabinet: not a cabinet"},
    {StatusStep::kCabinetCopy, "cabinet: extract"},
    {StatusStep::kCabinetMakeFolder, "cabinet: create a folder"},
    {StatusStep::kCabinetCreateFile, "cabinet: create a file"},
    {StatusStep::kStartHoldFile, "start: hold the file against changes"},
    {StatusStep::kStartContent, "start: not the expected size or digest"},
    {StatusStep::kStartSignature, "start: signature refused"},
    {StatusStep::kStartProgram, "start: Windows did not start the program"},
    {StatusStep::kStartVersion, "start: version refused"},
    {StatusStep::kRouteIncompletePasses, "download route: the file stayed incomplete"},
    {StatusStep::kRouteRefusedFiles, "download route: every complete file was refused"},
    {StatusStep::kRunSetupNotStarted, "run: the downloaded setup did not start"},
    {StatusStep::kCardMoveFile, "SD card: move the pulled file onto the setup file"},
    {StatusStep::kLayoutMakeFolder, "layout: create the folder"},
    {StatusStep::kLayoutCopyFile, "layout: copy the setup into the folder"},
    {StatusStep::kLayoutCopyDiffers, "layout: the copy differs from the verified setup"},
    {StatusStep::kLayoutWriteManifest, "layout: write the manifest"},
    {StatusStep::kSourceNoManifest, "source folder: no manifest to check the setup against"},
};

// Windows' text for a code, without its line end; empty when it has none.
std::string SystemText(unsigned long code) {
  const bool winInet = code >= 12000 && code <= 12999;
  DWORD flags = FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
  HMODULE source = nullptr;
  if (winInet) {
    // WinINet keeps its texts in its own module; it is loaded by the time
    // one of its codes exists.
    source = GetModuleHandleW(L"wininet.dll");
    if (source != nullptr) {
      flags = FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_HMODULE;
    }
  }
  wchar_t text[512] = L"";
  const DWORD length = FormatMessageW(flags, source, code, 0, text, 512, nullptr);
  std::wstring words(text, length);
  while (!words.empty() && (words.back() == L'\r' || words.back() == L'\n' || words.back() == L' '))
    words.pop_back();
  return WideToUtf8(words.c_str());
}

Status Make(StatusStep step, CodeKind kind, unsigned long code, std::string detail) {
  Status status;
  status.step = step;
  status.codeKind = kind;
  status.code = code;
  status.detail = std::move(detail);
  return status;
}

}  // namespace

Status Status::Failed(StatusStep step, std::string detail) {
  return Make(step, CodeKind::kNone, 0, std::move(detail));
}

Status Status::Windows(StatusStep step, unsigned long code, std::string detail) {
  return Make(step, CodeKind::kWindows, code, std::move(detail));
}

Status Status::LastError(StatusStep step, std::string detail) {
  const DWORD code = GetLastError();
  return Make(step, CodeKind::kWindows, code, std::move(detail));
}

Status Status::Http(StatusStep step, unsigned long status, std::string detail) {
  return Make(step, CodeKind::kHttp, status, std::move(detail));
}

Status Status::Fdi(StatusStep step, unsigned long fdiError, std::string detail) {
  return Make(step, CodeKind::kFdi, fdiError, std::move(detail));
}

const char* StepName(StatusStep step) {
  for (const StepEntry& entry : kStepNames) {
    if (entry.step == step)
      return entry.name;
  }
  return "step";
}

std::string DescribeCode(CodeKind kind, unsigned long code) {
  char head[64] = "";
  switch (kind) {
    case CodeKind::kNone:
      return "no code";
    case CodeKind::kHttp:
      _snprintf(head, sizeof(head), "HTTP status %lu", code);
      return head;
    case CodeKind::kFdi:
      _snprintf(head, sizeof(head), "FDI error %lu", code);
      return head;
    case CodeKind::kWindows:
      break;
  }
  const bool winInet = code >= 12000 && code <= 12999;
  // HRESULTs read best in hexadecimal, as Windows' documentation lists them.
  _snprintf(head, sizeof(head), code > 0xFFFF ? "%s 0x%08lX" : "%s %lu",
            winInet ? "WinINet error" : "Windows error", code);
  head[sizeof(head) - 1] = '\0';
  const std::string words = SystemText(code);
  return words.empty() ? std::string(head) : std::string(head) + " (" + words + ")";
}

std::string DescribeStatus(const Status& status) {
  if (status.ok())
    return "success";
  char number[16] = "";
  _snprintf(number, sizeof(number), "%d", static_cast<int>(status.step));
  number[sizeof(number) - 1] = '\0';
  std::string line = std::string(StepName(status.step)) + " (step " + number + "), " +
                     DescribeCode(status.codeKind, status.code);
  if (!status.detail.empty())
    line += ": " + status.detail;
  return line;
}

void LogStatus(const char* context, const Status& status) {
  LogLine("%s failed: %s", context, DescribeStatus(status).c_str());
}

}  // namespace rerozadez
