#include "workflow/file_digest.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "tests/support/test_files.h"

namespace rerozadez {
namespace {

using quilltest::ScratchDir;
using quilltest::WriteFileBytes;

std::string DigestOf(const std::string& content, bool fullForm) {
  ScratchDir dir;
  EXPECT_TRUE(WriteFileBytes(dir.File(L"f.bin"), content));
  return GetFileMd5(dir.File(L"f.bin"), fullForm);
}

TEST(FileDigest, MatchesTheRfc1321TestSuite) {
  const struct {
    const char* message;
    const char* digest;
  } vectors[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& vector : vectors) {
    EXPECT_EQ(DigestOf(vector.message, true), vector.digest) << '"' << vector.message << '"';
  }
}

TEST(FileDigest, ShortFormIsTheMiddleOfTheFullForm) {
  EXPECT_EQ(DigestOf("", false), "8f00b204e9800998");
  std::string full = DigestOf("message digest", true);
  std::string shortForm = DigestOf("message digest", false);
  EXPECT_EQ(shortForm.size(), 16u);
  EXPECT_EQ(shortForm, full.substr(8, 16));
}

TEST(FileDigest, ReadBoundariesDoNotChangeTheDigest) {
  // Exactly three 2 KiB blocks: the last read delivers nothing and ends.
  EXPECT_EQ(DigestOf(std::string(2048 * 3, 'a'), true), "d890021f28522533c1cc1b9b1f83ce73");
  std::string pattern(3 * 1024 * 1024 + 7, '\0');
  for (size_t i = 0; i < pattern.size(); ++i) {
    pattern[i] = static_cast<char>(i % 251);
  }
  ScratchDir dir;
  ASSERT_TRUE(WriteFileBytes(dir.File(L"p.bin"), pattern));
  for (size_t readSize : {size_t(2048), size_t(65536), size_t(1024 * 1024), size_t(4096 * 1024)}) {
    EXPECT_EQ(GetFileMd5WithReadSize(dir.File(L"p.bin"), true, readSize),
              "62a22cb245a4cfdb1a8a8ba579b2f38a")
        << readSize;
  }
}

TEST(FileDigest, UnreadableFilesGiveEmptyText) {
  ScratchDir dir;
  EXPECT_EQ(GetFileMd5(dir.File(L"missing.exe"), true), "");
  std::wstring busy = dir.File(L"busy.exe");
  ASSERT_TRUE(WriteFileBytes(busy, "abc"));
  HANDLE writer = CreateFileW(busy.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetFileMd5(busy, true), "");
  CloseHandle(writer);
  EXPECT_EQ(GetFileMd5(busy, true), "900150983cd24fb0d6963f7d28e17f72");
}

}  // namespace
}  // namespace rerozadez
