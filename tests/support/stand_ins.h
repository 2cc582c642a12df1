#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace quilltest {

// Full path of a stand-in program built by tests/stand_ins ("sleeper.exe",
// "spawner.exe", "recorder.exe"). The recorder is signed by the publisher the
// test build pins; "recorder-unsigned.exe", "recorder-other.exe" (signed by
// a trusted publisher that is not pinned) and "recorder-stray.exe" (the
// pinned key certified by an untrusted CA) are its refused copies;
// "recorder-large.exe" is the recorder at 4 MiB and more, signed;
// "planted-signed.dll" is signed by the pinned publisher but no program.
std::wstring StandInPath(const std::wstring& exeName);

// Copies a stand-in under another name (process matching goes by image
// name); true on success.
bool CopyStandIn(const std::wstring& exeName, const std::wstring& targetPath);

// A program's bytes with one byte inside its code (.text) changed, as an
// attacker would change a signed program; empty when there is no .text.
std::string WithCodeByteChanged(const std::string& program);

// Ids of running processes whose image name equals name exactly.
std::vector<DWORD> ProcessesNamed(const std::wstring& name);

// Ends every process named name; used by tests to clean up after themselves.
void EndProcessesNamed(const std::wstring& name);

// Waits up to timeoutMs for count processes named name to run; true if so.
bool WaitForProcessesNamed(const std::wstring& name, size_t count, DWORD timeoutMs);

// One start as the recorder stand-in logged it.
struct RecordedStart {
  std::wstring program;    // image name
  std::wstring arguments;  // command line after the program's own name
  std::wstring folder;     // current folder
  int show;                // wShowWindow, or -1 when none was given
};

// The starts logged in a recorder log, in order.
std::vector<RecordedStart> ReadRecordedStarts(const std::wstring& logPath);

// The same once count starts are logged, or what is logged after timeoutMs:
// a started program logs its start a moment after its starter goes on.
std::vector<RecordedStart> WaitForRecordedStarts(const std::wstring& logPath, size_t count,
                                                 DWORD timeoutMs);

}  // namespace quilltest
