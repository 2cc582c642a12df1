#include "workflow/resume_state.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "settings/setup_settings.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/test_files.h"
#include "tests/support/test_registry.h"

namespace rerozadez {
namespace {

TEST(ResumeRecordText, SizeReadsAsSigned64BitDecimal) {
  EXPECT_EQ(ParseSizeText(L"1048576"), 1048576);
  EXPECT_EQ(ParseSizeText(L"3221225472"), 3221225472LL);  // 3 GiB fits
  EXPECT_EQ(ParseSizeText(L"  42abc"), 42);
  EXPECT_EQ(ParseSizeText(L"-5"), -5);
  EXPECT_EQ(ParseSizeText(L""), 0);
  EXPECT_EQ(ParseSizeText(L"size"), 0);
  EXPECT_EQ(ParseSizeText(L"99999999999999999999999"), INT64_MAX);
}

TEST(ResumeRecordText, DigestsMatchIgnoringCaseAndNeedEqualLength) {
  EXPECT_TRUE(DigestsMatch("900150983cd24fb0d6963f7d28e17f72", "900150983CD24FB0D6963F7D28E17F72"));
  EXPECT_FALSE(DigestsMatch("900150983cd24fb0", "900150983cd24fb0d6963f7d28e17f72"));
  EXPECT_FALSE(DigestsMatch("900150983cd24fb0", "900150983cd24fb1"));
  // Only letters fold: '@' is not '`'.
  EXPECT_FALSE(DigestsMatch("@", "`"));
}

}  // namespace
}  // namespace rerozadez

namespace rerozadez {
namespace {

// The resume record in the real registry, the setup file in a scratch APPDATA.
class ResumeState : public ::testing::Test {
 protected:
  void SetUp() override {
    environment_.Set(L"APPDATA", appData_.Path());
    setupPath_ = GetSetupSettings()->GetSetupFilePath();
  }
  void Record(const std::string& size, const std::string& fpmd5) {
    EXPECT_TRUE(StoreResumeRecord(size, fpmd5).ok());
  }

  quilltest::ScratchDir appData_;
  quilltest::ScopedEnvironment environment_;
  quilltest::ScopedProgramKeys registry_;
  std::wstring setupPath_;
};

TEST_F(ResumeState, CompletenessComparesTheFileWithTheRecordedSize) {
  EXPECT_FALSE(IsDownloadComplete());  // no file
  ASSERT_TRUE(quilltest::WriteFileBytes(setupPath_, ""));
  EXPECT_FALSE(IsDownloadComplete());  // empty file
  ASSERT_TRUE(quilltest::WriteFileBytes(setupPath_, "abc"));
  EXPECT_TRUE(IsDownloadComplete());  // no record: any non-empty file
  Record("4", "");
  EXPECT_FALSE(IsDownloadComplete());
  Record("3", "");
  EXPECT_TRUE(IsDownloadComplete());
  Record("2", "");
  EXPECT_TRUE(IsDownloadComplete());  // longer than expected counts too
}

TEST_F(ResumeState, TamperedSizesLeaveTheDecisionToTheDigest) {
  ASSERT_TRUE(quilltest::WriteFileBytes(setupPath_, "abc"));
  for (const char* size : {"-7", "size", "", " 0x10"}) {
    Record(size, "");
    EXPECT_TRUE(IsDownloadComplete()) << size;
  }
  for (const char* size : {"99999999999999999999", "4294967299"}) {
    Record(size, "");
    EXPECT_FALSE(IsDownloadComplete()) << size;
  }
}

TEST_F(ResumeState, SetupsOfMoreThanTwoGibibytesAreJudgedRight) {
  HANDLE file = CreateFileW(setupPath_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  LARGE_INTEGER end;
  end.QuadPart = 3221225472LL;  // 3 GiB, sparse
  ASSERT_TRUE(SetFilePointerEx(file, end, nullptr, FILE_BEGIN));
  ASSERT_TRUE(SetEndOfFile(file));
  CloseHandle(file);
  Record("3221225472", "");
  EXPECT_TRUE(IsDownloadComplete());
  Record("3221225473", "");
  EXPECT_FALSE(IsDownloadComplete());
}

TEST_F(ResumeState, DigestFormFollowsTheRecordedLength) {
  ASSERT_TRUE(quilltest::WriteFileBytes(setupPath_, "abc"));  // 900150983cd24fb0d6963f7d28e17f72
  Record("3", "900150983CD24FB0D6963F7D28E17F72");
  EXPECT_TRUE(IsDigestMatching());
  Record("3", "3cd24fb0d6963f7d");
  EXPECT_TRUE(IsDigestMatching());
  Record("3", "900150983cd24fb0d6963f7d28e17f73");
  EXPECT_FALSE(IsDigestMatching());
  for (const char* other : {"", "3cd24fb0d6963f7", "900150983cd24fb0d6963f7d28e17f72a"}) {
    Record("3", other);
    EXPECT_FALSE(IsDigestMatching()) << '"' << other << '"';
  }
}

TEST_F(ResumeState, UnreadableFileIsNeverVerified) {
  ASSERT_TRUE(quilltest::WriteFileBytes(setupPath_, "abc"));
  HANDLE writer = CreateFileW(setupPath_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  Record("3", "");  // an empty digest would equal the empty text of a failed read
  Status why;
  EXPECT_FALSE(IsDigestMatching(&why));
  EXPECT_EQ(why.step, StatusStep::kDigestOpenFile);
  EXPECT_EQ(why.code, static_cast<unsigned long>(ERROR_SHARING_VIOLATION));
  CloseHandle(writer);
}

TEST_F(ResumeState, RefusalSaysWhichOfSizeAndDigestDiffers) {
  ASSERT_TRUE(quilltest::WriteFileBytes(setupPath_, "abc"));
  const struct {
    const char* size;
    const char* fpmd5;
    const char* why;
  } cases[] = {
      {"4", "900150983cd24fb0d6963f7d28e17f72", "size 3, expected 4"},
      {"3", "900150983cd24fb0d6963f7d28e17f73",
       "MD5 900150983cd24fb0d6963f7d28e17f72, expected 900150983cd24fb0d6963f7d28e17f73"},
      {"3", "900150983cd24fb0d6963f7d28e17f72", ""},
  };
  for (const auto& c : cases) {
    Record(c.size, c.fpmd5);
    Status why = Status::Failed(StatusStep::kStartContent, "stale");
    EXPECT_EQ(IsSetupFileAsRecorded(&why), *c.why == '\0') << c.why;
    EXPECT_EQ(why.step, *c.why == '\0' ? StatusStep::kNone : StatusStep::kStartContent);
    EXPECT_EQ(why.detail, c.why);
  }
}

}  // namespace
}  // namespace rerozadez
