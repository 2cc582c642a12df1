// The start gate's wait for a file another program holds.
#include "workflow/verified_start.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "platform/pause.h"
#include "tests/support/test_files.h"

namespace rerozadez {
namespace {

struct HeldFile {
  HANDLE holder;
  std::vector<DWORD> pauses;
  size_t releaseAfter;  // pauses before the holder lets go; past the limit: never
};

void OnPause(DWORD milliseconds, void* context) {
  HeldFile* held = static_cast<HeldFile*>(context);
  held->pauses.push_back(milliseconds);
  if (held->pauses.size() == held->releaseAfter && held->holder != INVALID_HANDLE_VALUE) {
    CloseHandle(held->holder);
    held->holder = INVALID_HANDLE_VALUE;
  }
}

// Held for good: the gate waits its whole while, then names the other
// program's hold. Let go during the wait: the gate goes on to the checks.
TEST(StartVerifiedProgram, WaitsForAHeldFileThenGoesOnOrNamesTheHold) {
  const struct {
    size_t releaseAfter;
    StatusStep step;
    size_t pauses;
    bool inUse;
  } cases[] = {
      {100, StatusStep::kStartHoldFile, kInUseAttempts - 1, true},
      {3, StatusStep::kStartContent, 3, false},
  };
  for (const auto& c : cases) {
    quilltest::ScratchDir dir;
    const std::wstring path = dir.File(L"setup.exe");
    ASSERT_TRUE(quilltest::WriteFileBytes(path, "MZ"));
    HeldFile held = {CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr),
                     {},
                     c.releaseAfter};
    ASSERT_NE(held.holder, INVALID_HANDLE_VALUE);
    SetPauseHook(&OnPause, &held);
    // Nothing is started: a released file fails its (stand-in) content check.
    const Status status = StartVerifiedProgram("setup", {path, L"", L"", false, false}, [] {
      return Status::Failed(StatusStep::kStartContent, "stand-in check");
    });
    SetPauseHook(nullptr, nullptr);
    if (held.holder != INVALID_HANDLE_VALUE)
      CloseHandle(held.holder);
    EXPECT_EQ(c.step, status.step) << c.releaseAfter;
    EXPECT_EQ(c.inUse, IsFileInUse(status)) << c.releaseAfter;
    EXPECT_NE(c.inUse, IsFileRefused(status)) << c.releaseAfter;
    EXPECT_EQ(std::vector<DWORD>(c.pauses, kInUsePauseMs), held.pauses) << c.releaseAfter;
  }
}

}  // namespace
}  // namespace rerozadez
