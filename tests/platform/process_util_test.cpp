#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "platform/pause.h"
#include "platform/process_snapshot.h"
#include "platform/process_tree.h"
#include "platform/process_util.h"
#include "tests/support/program_driver.h"
#include "tests/support/stand_ins.h"
#include "tests/support/test_files.h"

namespace rerozadez {
namespace {

using quilltest::CopyStandIn;
using quilltest::EndProcessesNamed;
using quilltest::kDeadlineMs;
using quilltest::ProcessesNamed;
using quilltest::ReadRecordedStarts;
using quilltest::ScratchDir;
using quilltest::StandInPath;
using quilltest::WaitForProcessesNamed;
using quilltest::WriteFileBytes;

// --- The tree walk, on made-up snapshots ------------------------------------

TEST(ProcessTreePlan, EndsChildrenBeforeParentsDepthFirst) {
  // 10 -> {11 -> {13}, 12}; 20 is unrelated; entry 0 is the idle process.
  std::vector<ProcessLink> processes = {{0, 0, 1},     {20, 1, 5},    {10, 1, 100},
                                        {11, 10, 110}, {12, 10, 100}, {13, 11, 130}};
  std::set<DWORD> visited;
  EXPECT_EQ(PlanProcessTreeKill(10, processes, 99, visited), (std::vector<DWORD>{13, 11, 12, 10}));
  // A second tree of the same pass skips what was planned already.
  EXPECT_EQ(PlanProcessTreeKill(11, processes, 99, visited), std::vector<DWORD>{});
}

TEST(ProcessTreePlan, StaleParentIdsMakeNoChildren) {
  // 10 took the id of an ended process: 14 and 15 named it as parent but
  // were created before 10, and 16 below 15 goes with them. 17's time is
  // unknown, so it cannot be shown to be 10's; neither can anything below a
  // root whose own time is unknown (30).
  std::vector<ProcessLink> processes = {{10, 1, 100},  {14, 10, 90}, {15, 10, 99}, {16, 15, 120},
                                        {11, 10, 101}, {17, 10, 0},  {30, 1, 0},   {31, 30, 50}};
  std::set<DWORD> visited;
  EXPECT_EQ(PlanProcessTreeKill(10, processes, 99, visited), (std::vector<DWORD>{11, 10}));
  std::set<DWORD> unknownRoot;
  EXPECT_EQ(PlanProcessTreeKill(30, processes, 99, unknownRoot), std::vector<DWORD>{30});
  std::set<DWORD> absentRoot;
  EXPECT_EQ(PlanProcessTreeKill(40, processes, 99, absentRoot), std::vector<DWORD>{});
}

TEST(ProcessTreePlan, ParentCyclesFromReusedIdsEndTheWalk) {
  // Equal creation times (one clock tick) still count as parent and child.
  std::vector<ProcessLink> cycle = {{5, 6, 50}, {6, 5, 50}, {7, 7, 70}};
  std::set<DWORD> visited;
  EXPECT_EQ(PlanProcessTreeKill(5, cycle, 99, visited), (std::vector<DWORD>{6, 5}));
  std::set<DWORD> selfParent;
  EXPECT_EQ(PlanProcessTreeKill(7, cycle, 99, selfParent), std::vector<DWORD>{7});
}

TEST(ProcessTreePlan, NeverPlansTheCurrentProcessOrItsChildren) {
  // 30 is "us", a child of 20; 31 is our child.
  std::vector<ProcessLink> processes = {{20, 1, 20}, {30, 20, 30}, {31, 30, 31}, {21, 20, 21}};
  std::set<DWORD> visited;
  EXPECT_EQ(PlanProcessTreeKill(20, processes, 30, visited), (std::vector<DWORD>{21, 20}));
  std::set<DWORD> fresh;
  EXPECT_EQ(PlanProcessTreeKill(30, processes, 30, fresh), std::vector<DWORD>{});
}

// --- Real processes under Wine ----------------------------------------------

// Counts the program's deliberate pauses instead of sleeping through them.
class CountedPauses {
 public:
  CountedPauses() { SetPauseHook(&CountedPauses::Record, this); }
  ~CountedPauses() { SetPauseHook(nullptr, nullptr); }
  int Count(DWORD milliseconds) const {
    int count = 0;
    for (DWORD pause : pauses_) {
      count += pause == milliseconds ? 1 : 0;
    }
    return count;
  }

 private:
  static void Record(DWORD milliseconds, void* context) {
    static_cast<CountedPauses*>(context)->pauses_.push_back(milliseconds);
    Sleep(0);
  }
  std::vector<DWORD> pauses_;
};

class RunProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    recorder_ = dir_.File(L"recorder.exe");
    ASSERT_TRUE(CopyStandIn(L"recorder.exe", recorder_));
  }
  void TearDown() override { EndProcessesNamed(L"recorder.exe"); }
  std::vector<quilltest::RecordedStart> Starts() { return ReadRecordedStarts(recorder_ + L".log"); }

  ScratchDir dir_;
  std::wstring recorder_;
};

TEST_F(RunProgramTest, WaitingStartReturnsAfterTheProgramEnded) {
  ASSERT_TRUE(WriteFileBytes(recorder_ + L".sleepms", "1500"));
  ASSERT_TRUE(GetProcessUtil()->RunProgram(L"", recorder_, L"/S", true, false).ok());
  EXPECT_TRUE(ProcessesNamed(L"recorder.exe").empty());
  ASSERT_EQ(Starts().size(), 1u);
  EXPECT_EQ(Starts()[0].arguments, L"/S");
  EXPECT_EQ(Starts()[0].show, SW_HIDE);
}

TEST_F(RunProgramTest, StartWithoutWaitReturnsWhileTheProgramRuns) {
  ASSERT_TRUE(WriteFileBytes(recorder_ + L".sleepms", "5000"));
  ASSERT_TRUE(GetProcessUtil()->RunProgram(dir_.Path(), recorder_, L"", false, true).ok());
  EXPECT_EQ(ProcessesNamed(L"recorder.exe").size(), 1u);
  quilltest::WaitForRecordedStarts(recorder_ + L".log", 1, kDeadlineMs);
  EndProcessesNamed(L"recorder.exe");
  ASSERT_EQ(Starts().size(), 1u);
  EXPECT_EQ(Starts()[0].arguments, L"");
  EXPECT_EQ(Starts()[0].folder, dir_.Path());
  EXPECT_EQ(Starts()[0].show, SW_SHOWNORMAL);
}

TEST_F(RunProgramTest, EmptyFolderKeepsTheCallersAndParametersArriveIntact) {
  wchar_t ownFolder[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, ownFolder);
  std::wstring parameters = L"pull /sdcard/a.exe \"C:\\\u624b\u673a dir\\b.exe\"";
  ASSERT_TRUE(GetProcessUtil()->RunProgram(L"", recorder_, parameters, true, false).ok());
  ASSERT_EQ(Starts().size(), 1u);
  EXPECT_EQ(Starts()[0].arguments, parameters);
  EXPECT_EQ(Starts()[0].folder, ownFolder);
}

TEST_F(RunProgramTest, MissingProgramIsNotStarted) {
  EXPECT_FALSE(GetProcessUtil()->RunProgram(L"", dir_.File(L"absent.exe"), L"", true, false).ok());
  EXPECT_FALSE(GetProcessUtil()->RunProgram(L"", dir_.File(L"absent.exe"), L"", false, true).ok());
}

class KillByName : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const wchar_t* name :
         {L"xadb.exe", L"adb.exe.bak.exe", L"ADB.EXE", L"quilltree.exe", L"bystander.exe"}) {
      EndProcessesNamed(name);
    }
  }
  // Starts a copy of a stand-in under another image name.
  void Start(const std::wstring& standIn, const std::wstring& name,
             const std::wstring& parameters = L"") {
    std::wstring path = dir_.File(name);
    ASSERT_TRUE(CopyStandIn(standIn, path));
    ASSERT_TRUE(GetProcessUtil()->RunProgram(L"", path, parameters, false, false).ok());
  }

  ScratchDir dir_;
};

TEST_F(KillByName, MatchesTheWholeImageNameIgnoringCase) {
  Start(L"sleeper.exe", L"xadb.exe");
  Start(L"sleeper.exe", L"adb.exe.bak.exe");
  Start(L"sleeper.exe", L"ADB.EXE");
  ASSERT_TRUE(WaitForProcessesNamed(L"xadb.exe", 1, kDeadlineMs));
  ASSERT_TRUE(WaitForProcessesNamed(L"adb.exe.bak.exe", 1, kDeadlineMs));
  ASSERT_TRUE(WaitForProcessesNamed(L"ADB.EXE", 1, kDeadlineMs));

  CountedPauses pauses;
  EXPECT_TRUE(GetProcessUtil()->KillProcessesByName(L"adb.exe"));
  EXPECT_TRUE(ProcessesNamed(L"ADB.EXE").empty());
  EXPECT_EQ(ProcessesNamed(L"xadb.exe").size(), 1u);
  EXPECT_EQ(ProcessesNamed(L"adb.exe.bak.exe").size(), 1u);
  EXPECT_EQ(pauses.Count(ProcessUtil::kPauseBetweenPasses),
            1);  // the match pass, then one pass that finds none
}

TEST_F(KillByName, AnIdNoLongerNamingThePlannedProcessIsLeftAlone) {
  Start(L"sleeper.exe", L"bystander.exe");
  ASSERT_TRUE(WaitForProcessesNamed(L"bystander.exe", 1, kDeadlineMs));
  DWORD id = ProcessesNamed(L"bystander.exe")[0];
  uint64_t created = ProcessCreationTime(id);
  ASSERT_NE(created, 0u);

  EXPECT_FALSE(EndPlannedProcess(id, L"adb.exe", created));
  EXPECT_FALSE(EndPlannedProcess(id, L"bystander.exe", created - 1));
  EXPECT_EQ(ProcessesNamed(L"bystander.exe").size(), 1u);
  EXPECT_TRUE(EndPlannedProcess(id, L"BYSTANDER.EXE", created));
  EXPECT_TRUE(ProcessesNamed(L"bystander.exe").empty());
}

TEST_F(KillByName, EndsAWholeTreeAndLeavesOthersAlone) {
  Start(L"spawner.exe", L"quilltree.exe", L"2");
  Start(L"sleeper.exe", L"bystander.exe");
  ASSERT_TRUE(WaitForProcessesNamed(L"quilltree.exe", 3, kDeadlineMs));
  ASSERT_TRUE(WaitForProcessesNamed(L"bystander.exe", 1, kDeadlineMs));

  CountedPauses pauses;
  EXPECT_TRUE(GetProcessUtil()->KillProcessesByName(L"quilltree.exe"));
  EXPECT_TRUE(ProcessesNamed(L"quilltree.exe").empty());
  EXPECT_EQ(ProcessesNamed(L"bystander.exe").size(), 1u);
  EXPECT_EQ(pauses.Count(ProcessUtil::kPauseAfterEnding),
            3);  // one settling pause per ended process
}

TEST_F(KillByName, NeverEndsTheCurrentProcessAndGivesUpAfterElevenPasses) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring ownName = std::wstring(self).substr(std::wstring(self).rfind(L'\\') + 1);

  CountedPauses pauses;
  EXPECT_FALSE(GetProcessUtil()->KillProcessesByName(ownName));
  EXPECT_EQ(pauses.Count(ProcessUtil::kPauseBetweenPasses),
            11);  // ten between the passes, one after the last
  EXPECT_EQ(pauses.Count(ProcessUtil::kPauseAfterEnding), 0);  // nothing was ended
}

TEST_F(KillByName, TreeOfTheCurrentProcessIsLeftAlone) {
  std::wstring path = dir_.File(L"bystander.exe");
  ASSERT_TRUE(CopyStandIn(L"sleeper.exe", path));
  HANDLE child = quilltest::StartProgram(path, L"");
  ASSERT_NE(child, nullptr);
  GetProcessUtil()->KillProcessTree(GetCurrentProcessId());
  EXPECT_EQ(WaitForSingleObject(child, 200), static_cast<DWORD>(WAIT_TIMEOUT));
  CloseHandle(child);
}

}  // namespace
}  // namespace rerozadez
