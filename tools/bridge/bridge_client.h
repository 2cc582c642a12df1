#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// The one command of the device-bridge tool that the installer uses,
// "pull <remote> <local>", as a client of the bridge server's host protocol:
// smart-socket requests (four hex digits of length, then the request;
// answered OKAY or FAIL with a length-prefixed message) and the file-sync
// service (8-byte packets: a four-letter id and a little-endian length).
namespace bridge {

// Exit codes of the tool. 5 is left out: Wine reports a crash as 5.
enum PullResult {
  kPulled = 0,
  kBadCommandLine = 1,
  kNoServer = 2,        // nothing listens on the server port
  kRefused = 3,         // the server answered FAIL (no device, no file)
  kBrokenTransfer = 4,  // closed, stalled or malformed stream
  kLocalFileError = 6,  // the local file could not be written or placed
};

// The server's port: ANDROID_ADB_SERVER_PORT when it holds a port number,
// as with the real tool, else 5037.
unsigned short ServerPort();

// "<4 hex digits><request>", the smart-socket framing. Requests longer than
// 0xFFFF bytes give an empty string.
std::string FormatHostRequest(const std::string& request);

// The value of four hex digits (either case), or -1.
int ParseHexLength(const char* digits);

// A sync packet: the four-letter id, the payload's length (little-endian,
// 32 bits) and the payload.
std::string FormatSyncPacket(const char* id, const std::string& payload);

uint32_t ReadLittleEndian32(const unsigned char* bytes);

struct PullCommand {
  std::wstring remote;
  std::wstring local;
};

// Reads "pull <remote> <local>" from the arguments after the program name.
// Anything else (another command, a remote path split into several
// arguments, empty paths) is refused.
bool ParsePullCommand(int argumentCount, wchar_t** arguments, PullCommand* command);

// Longest DATA chunk the server may send, and longest remote path.
const uint32_t kMaxSyncChunk = 64 * 1024;
const size_t kMaxRemotePath = 1024;

// How long a pull waits for the server's next bytes before giving up.
const DWORD kReceiveTimeoutMs = 30000;

// Copies the remote file from the device to local through the server at
// 127.0.0.1:port. The bytes go to a temporary file beside local, which takes
// local's name only when the whole file came; on any failure it is removed
// and local is left as it was.
PullResult Pull(const std::string& remoteUtf8, const std::wstring& local, unsigned short port,
                DWORD receiveTimeoutMs);

}  // namespace bridge
