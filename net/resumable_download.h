#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "net/web_address.h"
#include "platform/status.h"

namespace rerozadez {

// The receive time-out of a download request. Without one, WinINet waits as
// long as a server that stops sending without closing (Wine waited through a
// whole 400 s stall). After 30 s of silence the read fails, the pass ends and
// the next pass resumes from the file's size; a slow but live line keeps
// sending well within that, and the cost of a false alarm is one read.
const DWORD kDownloadReceiveTimeoutMs = 30000;

// What a download asks of its caller while it runs, on the downloading
// thread, and how it asks for the file. The hooks may be empty: never stop,
// report nothing.
struct DownloadControl {
  std::function<bool()> shouldStop;  // polled before every read
  // The percent of the total when it changed, at most every 250 ms, and at
  // the body's end.
  std::function<void(int)> progress;
  // The bytes the local file holds: once the body starts, then after every read.
  std::function<void(uint64_t)> bytesHeld;
  DWORD receiveTimeoutMs = kDownloadReceiveTimeoutMs;
  // Ask for the file from its first byte and write only what lies beyond
  // the local file's end: for a proxy that sends a resumed range only once
  // it has fetched everything before it itself.
  bool fromFirstByte = false;
};

// What a reply's status means for the local file.
enum DownloadReplyAction {
  kReplyAppend,        // the body continues the file from its end
  kReplyRestart,       // the body is the whole file: replace the local bytes
  kReplyAlreadyWhole,  // 416: nothing to add; the caller's checks decide
  kReplyRejected,      // an error status: the body must not reach the file
};

// The action for a reply status to a request whose range starts at
// startOffset. 206 appends; another 2xx sends the whole file, which appends
// to an empty file and restarts a partial one.
DownloadReplyAction JudgeDownloadStatus(DWORD status, uint64_t startOffset);

// False when a success reply's own length says it is not the file offered
// with offeredSize bytes, such as a captive portal's page: a 206 whose
// Content-Range ("bytes first-last/total") names another total, does not
// start at startOffset or cannot be read, or another 2xx whose
// Content-Length is another number. A reply without these headers, a total
// of "*", or an unknown offered size (0 or less) fits, as before.
bool ReplyFitsOffer(DWORD status, const std::wstring& contentLength,
                    const std::wstring& contentRange, uint64_t startOffset, int64_t offeredSize);

// Redirects. The downloader follows them itself, hop by hop, instead of
// leaving them to WinINet, whose following differs by version: Wine's and
// XP's WinINet stop at 308, XP's asks before moving from http to https, and
// Wine's moves from https to plain http without a word. Each hop sends the
// same request again, the Range line included, to the address in Location
// (resolved against the current one), so a resumed download asks the
// server that holds the file for the missing bytes; the final reply is
// judged as any other (JudgeDownloadStatus: 206 appends, another 2xx
// restarts, an error writes nothing). Followed: 301, 302, 303, 307 and 308,
// at most kMaxRedirects in a row. Not followed, ending the pass with
// kDownloadRedirect and nothing written: one redirect too many, one to
// a scheme other than http and https, or from https to plain http. A
// redirect without Location is an error reply (kDownloadReplyStatus).
const int kMaxRedirects = 5;

// True for 301, 302, 303, 307 and 308.
bool IsRedirectStatus(DWORD status);

// The address a redirect leads to: location resolved against current as
// RFC 3986 section 5 says, without its fragment. False, with next
// untouched, when it must not be followed: location holds a control
// character, the result is not an address ParseWebAddress takes (another
// scheme, a bad port, too long), or it leaves https for plain http. next
// may be current.
bool ResolveRedirect(const WebAddress& current, const std::wstring& location, WebAddress* next);

// A download address as it goes on the wire: the service's addresses are
// UTF-8 text, and every byte outside ASCII is sent percent-escaped, as
// browsers do; WinINet would otherwise pass the characters through the ANSI
// code page, which mangles any it lacks. ASCII addresses stay unchanged.
std::string EscapeNonAsciiInUrl(const std::string& utf8Url);

// The request header block: Accept, Pragma, Cache-Control, Connection and
// "Range:bytes=<startOffset>-", each ended by CR LF, then an empty line.
std::wstring BuildDownloadHeaders(uint64_t startOffset);

// Percent of totalSize that bytesInFile is, truncated, exact for every size:
// 100 for a whole file, above 100 when the file outgrew the announced size
// (INT_MAX at most), 0 when totalSize is not positive.
int DownloadPercent(uint64_t bytesInFile, int64_t totalSize);

// Fetches address (https over TLS with the server's certificate checked,
// else plain HTTP) with a Range request from the local file's size (from
// byte 0 with control.fromFirstByte) and appends the reply to the file at
// path (created when missing), or starts the file again when the server
// ignored the range; redirects as described above. Reports the percent of
// totalSize through control.progress as it changes and stops when
// control.shouldStop answers true. Ok when the body ends (eleven empty
// reads in a row; a body cut short by a closed connection ends so too), a
// stop is requested, or the server answers 416. Otherwise the failed step:
// kDownloadOpenFile (GetLastError: 32 when another program holds the file)
// before any request; kDownloadOpenSession to kDownloadQueryStatus with
// WinINet's code; kDownloadReplyStatus (the HTTP status; a 407 the user did
// not answer is one) and kDownloadRedirect with nothing written;
// kDownloadNotTheOffer, nothing written, for a reply whose length says it
// is another file than the offered one (ReplyFitsOffer against totalSize);
// kDownloadSilentReply (the time-out's code) when no body byte came within
// the receive time-out; kDownloadReadBody or kDownloadWriteFile with the
// code of the read or write that failed, what was written before kept. A
// proxy asking for credentials (407) is answered through
// GetProxyCredentials. startOffset receives the file's size at the start.
// The caller judges the file by its size and digest, and logs the failure;
// each request, redirect and ending of a body leaves a line in the
// diagnostic log.
Status DownloadFile(const DownloadControl& control, const WebAddress& address, std::wstring path,
                    int64_t totalSize, uint64_t* startOffset = nullptr);

}  // namespace rerozadez
