#include "platform/file_digest.h"

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
  std::string digest;
  EXPECT_TRUE(GetFileMd5(dir.File(L"f.bin"), fullForm, &digest).ok());
  return digest;
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
  for (size_t readSize :
       {size_t(0), size_t(2048), size_t(65536), size_t(1024 * 1024), size_t(4096 * 1024)}) {
    std::string digest;
    EXPECT_TRUE(GetFileMd5WithReadSize(dir.File(L"p.bin"), true, readSize, &digest).ok());
    EXPECT_EQ(digest, "62a22cb245a4cfdb1a8a8ba579b2f38a") << readSize;
  }
}

// A failed digest leaves no text behind, whatever the caller held before.
void ExpectNoDigest(const std::wstring& path, StatusStep step, unsigned long code) {
  std::string digest = "stale";
  const Status status = GetFileMd5(path, true, &digest);
  EXPECT_EQ(status.step, step);
  EXPECT_EQ(status.codeKind, CodeKind::kWindows);
  EXPECT_EQ(status.code, code);
  EXPECT_EQ(digest, "");
}

TEST(FileDigest, UnreadableFilesGiveNoDigestAndTheOpenStep) {
  ScratchDir dir;
  ExpectNoDigest(dir.File(L"missing.exe"), StatusStep::kDigestOpenFile, ERROR_FILE_NOT_FOUND);
  std::wstring busy = dir.File(L"busy.exe");
  ASSERT_TRUE(WriteFileBytes(busy, "abc"));
  HANDLE writer = CreateFileW(busy.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  ExpectNoDigest(busy, StatusStep::kDigestOpenFile, ERROR_SHARING_VIOLATION);
  CloseHandle(writer);
  EXPECT_EQ(DigestOf("abc", true), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(FileDigest, ReadFailingMidwayGivesNoDigestOfThePartRead) {
  // A pipe whose writer leaves after 100 bytes: the read after them fails.
  const std::wstring name = L"\\\\.\\pipe\\quill-digest-" + std::to_wstring(GetCurrentProcessId());
  HANDLE pipe = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1,
                                 4096, 4096, 0, nullptr);
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
  HANDLE writer = CreateThread(
      nullptr, 0,
      [](void* end) -> DWORD {
        const std::string part(100, 'p');
        DWORD written = 0;
        if (ConnectNamedPipe(end, nullptr) || GetLastError() == ERROR_PIPE_CONNECTED) {
          WriteFile(end, part.data(), static_cast<DWORD>(part.size()), &written, nullptr);
        }
        CloseHandle(end);
        return 0;
      },
      pipe, 0, nullptr);
  ASSERT_NE(writer, nullptr);
  ExpectNoDigest(name, StatusStep::kDigestReadFile, ERROR_BROKEN_PIPE);
  if (WaitForSingleObject(writer, 10000) != WAIT_OBJECT_0) {
    ADD_FAILURE() << "the pipe's writer was never reached";
    TerminateThread(writer, 1);
  }
  CloseHandle(writer);
}

}  // namespace
}  // namespace rerozadez
