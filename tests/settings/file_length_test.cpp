#include <gtest/gtest.h>
#include <windows.h>

#include "settings/sys_util.h"
#include "tests/support/test_files.h"

namespace rerozadez {
namespace {

using quilltest::ScratchDir;
using quilltest::WriteFileBytes;

TEST(FileLength, MissingAndEmptyFilesBothGiveZero) {
  ScratchDir dir;
  EXPECT_EQ(GetSysUtil()->GetFileLength(dir.File(L"missing.exe")), 0u);
  ASSERT_TRUE(WriteFileBytes(dir.File(L"empty.exe"), ""));
  EXPECT_EQ(GetSysUtil()->GetFileLength(dir.File(L"empty.exe")), 0u);
  ASSERT_TRUE(WriteFileBytes(dir.File(L"\u5b89\u88c5.exe"), std::string(2049, 'x')));
  EXPECT_EQ(GetSysUtil()->GetFileLength(dir.File(L"\u5b89\u88c5.exe")), 2049u);
}

TEST(FileLength, SizesBeyondFourGibibytesDoNotWrap) {
  ScratchDir dir;
  std::wstring path = dir.File(L"large.exe");
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  LARGE_INTEGER end;
  end.QuadPart = (5LL << 30) + 7;  // the file system keeps it sparse
  ASSERT_TRUE(SetFilePointerEx(file, end, nullptr, FILE_BEGIN));
  ASSERT_TRUE(SetEndOfFile(file));
  CloseHandle(file);
  EXPECT_EQ(GetSysUtil()->GetFileLength(path), (5ULL << 30) + 7);
}

TEST(FileLength, FileHeldOpenForWritingGivesZero) {
  ScratchDir dir;
  std::wstring path = dir.File(L"busy.exe");
  ASSERT_TRUE(WriteFileBytes(path, "12345"));
  HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetSysUtil()->GetFileLength(path), 0u);
  CloseHandle(writer);
  EXPECT_EQ(GetSysUtil()->GetFileLength(path), 5u);
}

TEST(WindowsVersion, TestPrefixReportsAVersionAfterXp) {
  // The project's Wine prefix reports Windows 7 unless a test asks otherwise.
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  ASSERT_TRUE(GetVersionExW(&version));
  ASSERT_GE(version.dwMajorVersion, 6u);
  EXPECT_FALSE(GetSysUtil()->IsXpOrEarlier());
}

}  // namespace
}  // namespace rerozadez
