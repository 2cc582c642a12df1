#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "settings/setup_settings.h"
#include "settings/sys_util.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/test_files.h"

namespace rerozadez {
namespace {

using quilltest::ScratchDir;
using quilltest::WriteFileBytes;

bool IsFolder(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Closes every "info" message box the code under test shows, keeping its
// text, so a test neither blocks nor misses a box.
class MessageBoxCloser {
 public:
  MessageBoxCloser() : stop_(false), thread_([this] { Run(); }) {}
  ~MessageBoxCloser() {
    stop_ = true;
    thread_.join();
  }
  std::vector<std::wstring> Texts() {
    std::lock_guard<std::mutex> lock(mutex_);
    return texts_;
  }

 private:
  void Run() {
    while (!stop_) {
      HWND box = FindWindowW(L"#32770", L"info");
      if (box != nullptr) {
        wchar_t text[2048] = {};
        GetDlgItemTextW(box, 0xFFFF, text, 2048);  // the box's static text
        {
          std::lock_guard<std::mutex> lock(mutex_);
          texts_.push_back(text);
        }
        SendMessageW(box, WM_COMMAND, IDOK, 0);
        while (IsWindow(box) && !stop_) {
          Sleep(10);
        }
      }
      Sleep(10);
    }
  }

  std::atomic<bool> stop_;
  std::mutex mutex_;
  std::vector<std::wstring> texts_;
  std::thread thread_;
};

// Points APPDATA and the temporary folder at scratch folders for one test.
class WorkFolders : public ::testing::Test {
 protected:
  void SetUp() override { environment_.RedirectWorkFolders(appData_.Path(), temp_.Path()); }

  ScratchDir appData_;
  ScratchDir temp_;
  quilltest::ScopedEnvironment environment_;
};

TEST_F(WorkFolders, FirstRequestCreatesBothLevelsAndLaterOnesReuseThem) {
  MessageBoxCloser boxes;
  std::wstring tempFolder = GetSysUtil()->GetTempWorkFolder();
  std::wstring appFolder = GetSysUtil()->GetAppDataWorkFolder();
  EXPECT_EQ(tempFolder, temp_.Path() + L"\\Travik\\rerozadez");
  EXPECT_EQ(appFolder, appData_.Path() + L"\\Travik\\rerozadez");
  EXPECT_TRUE(IsFolder(tempFolder));
  EXPECT_TRUE(IsFolder(appFolder));

  ASSERT_TRUE(WriteFileBytes(appFolder + L"\\kept.bin", "x"));
  EXPECT_EQ(GetSysUtil()->GetAppDataWorkFolder(), appFolder);
  EXPECT_EQ(GetSysUtil()->GetTempWorkFolder(), tempFolder);
  EXPECT_TRUE(quilltest::FileExists(appFolder + L"\\kept.bin"));
  EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(WorkFolders, SetupFilesLieInTheApplicationDataFolder) {
  SetupSettings settings;
  std::wstring folder = appData_.Path() + L"\\Travik\\rerozadez";
  EXPECT_EQ(settings.GetWorkFolder(), folder);
  EXPECT_EQ(settings.GetSetupFilePath(), folder + L"\\Quillnest_SetUp_mini.exe");
  EXPECT_EQ(settings.GetBackupSetupFilePath(), folder + L"\\Quillnest_SetUp_mini_backup.exe");
}

TEST_F(WorkFolders, UncreatableMakerFolderShowsItsPathAndStillReturnsIt) {
  std::wstring missingParent = appData_.Path() + L"\\no\\such";
  environment_.Set(L"APPDATA", missingParent);
  MessageBoxCloser boxes;
  std::wstring folder = GetSysUtil()->GetAppDataWorkFolder();
  EXPECT_EQ(folder, missingParent + L"\\Travik\\rerozadez");
  EXPECT_FALSE(IsFolder(folder));
  ASSERT_EQ(boxes.Texts().size(), 1u);
  EXPECT_EQ(boxes.Texts()[0], missingParent + L"\\Travik");
}

TEST_F(WorkFolders, PlainFileNamedTravikCountsAsExisting) {
  ASSERT_TRUE(WriteFileBytes(appData_.File(L"Travik"), "not a folder"));
  MessageBoxCloser boxes;
  std::wstring folder = GetSysUtil()->GetAppDataWorkFolder();
  EXPECT_EQ(folder, appData_.Path() + L"\\Travik\\rerozadez");
  EXPECT_FALSE(IsFolder(folder));
  EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(WorkFolders, UnsetAppDataUsesTheRootOfTheCurrentDrive) {
  wchar_t savedDir[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, savedDir);
  // Drive C: of the Wine prefix, so the test writes nothing outside it.
  ASSERT_TRUE(SetCurrentDirectoryW(L"C:\\"));
  bool existed = IsFolder(L"C:\\Travik");
  environment_.Unset(L"APPDATA");
  MessageBoxCloser boxes;
  std::wstring folder = GetSysUtil()->GetAppDataWorkFolder();
  EXPECT_EQ(folder, L"\\Travik\\rerozadez");
  EXPECT_TRUE(IsFolder(L"C:\\Travik\\rerozadez"));
  EXPECT_TRUE(boxes.Texts().empty());
  if (!existed) {
    quilltest::RemoveTree(L"C:\\Travik");
  }
  SetCurrentDirectoryW(savedDir);
}

}  // namespace
}  // namespace rerozadez
