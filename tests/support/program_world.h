#pragma once

// The built program as a user meets it: the demo package service runs as its
// own process in a fault mode, the program is a copy in a scratch folder with
// working folders of its own, and the checks read what the user sees (its
// window and buttons), what it started, how it ended, and what it left on
// disk and in the registry.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/fake_bridge_server.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/stand_ins.h"
#include "tests/support/test_files.h"
#include "tests/support/test_registry.h"

namespace quilltest {

// The service log's lines for the query and the setup file.
const char kSetupTarget[] = "GET /downloads/Quillnest_full_setup.exe";
const char kQueryTarget[] = "GET /adpserver/GetVIByAKFWPC";

// One request of the setup file as the service logged it.
struct FileRequest {
  long long rangeStart;  // -1 without a Range header
};

class ProgramWorld : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The phone: none by default; a case sets phoneHasFile_ and adds files.
  void StartPhone();
  // Starts the demo service in a fault mode and waits until it serves; the
  // program is told its address.
  void StartService(const wchar_t* fault, const std::wstring& where = L"0");
  void StopService();
  // The requests of the setup file in the service's log, oldest first.
  // The service logs a request a few milliseconds after it arrives, so a
  // caller that knows how many must have come waits for them (a minute at
  // most) and then sees all that were logged.
  std::vector<FileRequest> FileRequests(size_t atLeast = 0) const;
  int QueryRequests() const;

  HANDLE Start(const std::wstring& parameters = L"");
  static HWND FindProgramWindow();
  // The program's visible window once its buttons exist, or null.
  static HWND WaitForWindow(DWORD timeoutMs);
  // Waits until the program offers Retry (true) or ends (false).
  static bool WaitForRetryOrEnd(HANDLE process, HWND window, DWORD timeoutMs);
  // Presses Retry until the restarted run has hidden it; the run that
  // showed it may still be on its way out at the first press.
  static void PressRetry(HWND window);

  // The program's application data, and so its working folder, in folder
  // (a small volume, say) from the next start on.
  void MoveAppDataTo(const std::wstring& folder);
  std::wstring WorkFolder() const;
  std::wstring SetupFile() const { return WorkFolder() + L"\\Quillnest_SetUp_mini.exe"; }
  // Read from the folder entry: opening the file would clash with the
  // downloader's write handle.
  uint64_t SetupFileLength() const;
  // The starts of the full setup that the recorder logged, waiting up to
  // timeoutMs for the first.
  std::vector<RecordedStart> SetupStarts(DWORD timeoutMs) const;
  // Starts the program and presses Install driver in its window.
  HWND StartAndInstall(HANDLE* process);
  // Waits until the download has put at least one read into the setup file.
  bool WaitForPartialFile(DWORD timeoutMs) const;

  // What a finished run leaves: the served bytes, started once, the resume
  // record naming them, and a program that ended with 0.
  void ExpectSetupStartedFromTheServedFile(HANDLE process);
  // A failed run: Retry offered, the window still up, no setup started.
  void ExpectRetryOffered(HWND window);

  ScratchDir scratch_;
  ScratchDir appData_;
  std::wstring appDataPath_;  // appData_'s, unless moved
  ScratchDir temp_;
  ScopedEnvironment environment_;
  ScopedProgramKeys registry_;
  std::wstring program_;
  std::string served_;
  std::wstring serviceLog_;
  HANDLE service_ = nullptr;
  HANDLE first_ = nullptr;
  HANDLE second_ = nullptr;
  bool phoneHasFile_ = false;
  FakeBridgeServer phone_;
  std::unique_ptr<ScopedBridgePort> port_;

 private:
  std::vector<FileRequest> LoggedFileRequests() const;
};

}  // namespace quilltest
