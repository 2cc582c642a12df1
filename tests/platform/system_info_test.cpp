#include <gtest/gtest.h>
#include <windows.h>

#include "platform/system_info.h"
#include "tests/support/test_files.h"

namespace rerozadez {
namespace {

using quilltest::ScratchDir;
using quilltest::WriteFileBytes;

TEST(FileLength, MissingAndEmptyFilesBothGiveZero) {
  ScratchDir dir;
  EXPECT_EQ(FileLength(dir.File(L"missing.exe")), 0u);
  ASSERT_TRUE(WriteFileBytes(dir.File(L"empty.exe"), ""));
  EXPECT_EQ(FileLength(dir.File(L"empty.exe")), 0u);
  ASSERT_TRUE(WriteFileBytes(dir.File(L"\u5b89\u88c5.exe"), std::string(2049, 'x')));
  EXPECT_EQ(FileLength(dir.File(L"\u5b89\u88c5.exe")), 2049u);
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
  EXPECT_EQ(FileLength(path), (5ULL << 30) + 7);
}

TEST(FileLength, FileHeldOpenForWritingGivesZero) {
  ScratchDir dir;
  std::wstring path = dir.File(L"busy.exe");
  ASSERT_TRUE(WriteFileBytes(path, "12345"));
  HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(FileLength(path), 0u);
  CloseHandle(writer);
  EXPECT_EQ(FileLength(path), 5u);
}

TEST(WindowsVersion, XpAndOlderAreTheVersionsBelowFivePointTwo) {
  EXPECT_TRUE(IsXpOrEarlierVersion(5, 1));
  EXPECT_TRUE(IsXpOrEarlierVersion(5, 0));
  EXPECT_TRUE(IsXpOrEarlierVersion(4, 90));
  EXPECT_FALSE(IsXpOrEarlierVersion(5, 2));
  EXPECT_FALSE(IsXpOrEarlierVersion(6, 0));
  EXPECT_FALSE(IsXpOrEarlierVersion(10, 0));
}

}  // namespace
}  // namespace rerozadez
