#include <gtest/gtest.h>
#include <windows.h>

#include "platform/registry_util.h"
#include "settings/setup_settings.h"
#include "tests/support/test_registry.h"

namespace rerozadez {
namespace {

using quilltest::DeleteKeyTree;
using quilltest::ReadRegistryValue;
using quilltest::SetKeyAccess;
using quilltest::SetRegistryValue;

const wchar_t kScratchKey[] = L"SOFTWARE\\QuillTest\\Registry";
const wchar_t kSuiteKey[] = L"SOFTWARE\\Quillnest";

class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteKeyTree(HKEY_CURRENT_USER, kScratchKey);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kSuiteKey);
  }
  void TearDown() override {
    DeleteKeyTree(HKEY_CURRENT_USER, kScratchKey);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kSuiteKey);
  }
};

// Windows stores exactly the bytes given. Wine appends a terminator when the
// character after the data is a null, so there the stored size may be 2 more.
void ExpectStoredText(const std::string& bytes, const std::string& expected) {
  EXPECT_EQ(bytes.substr(0, expected.size()), expected);
  EXPECT_TRUE(bytes.size() == expected.size() || bytes == expected + std::string(2, '\0'))
      << bytes.size() << " bytes stored";
}

TEST_F(Registry, WideWriteCreatesTheKeyAndStoresTheCharactersOnly) {
  ASSERT_TRUE(GetRegistryUtil()->SetCurrentUserStringW(kScratchKey, L"installed", L"true").ok());
  DWORD type = 0;
  std::string bytes;
  ASSERT_TRUE(ReadRegistryValue(HKEY_CURRENT_USER, kScratchKey, L"installed", &type, &bytes));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  ExpectStoredText(bytes, std::string("t\0r\0u\0e\0", 8));
  EXPECT_EQ(GetRegistryUtil()->QueryStringW(HKEY_CURRENT_USER, kScratchKey, L"installed"), L"true");
}

TEST_F(Registry, WritesReplaceEarlierValues) {
  ASSERT_TRUE(
      GetRegistryUtil()
          ->SetCurrentUserStringA("SOFTWARE\\QuillTest\\Registry", "downLoadSize", "123456789")
          .ok());
  ASSERT_TRUE(GetRegistryUtil()
                  ->SetCurrentUserStringA("SOFTWARE\\QuillTest\\Registry", "downLoadSize", "42")
                  .ok());
  DWORD type = 0;
  std::string bytes;
  ASSERT_TRUE(ReadRegistryValue(HKEY_CURRENT_USER, kScratchKey, L"downLoadSize", &type, &bytes));
  ExpectStoredText(bytes, std::string("4\0"
                                      "2\0",
                                      4));
  EXPECT_EQ(GetRegistryUtil()->QueryStringA(HKEY_CURRENT_USER, "SOFTWARE\\QuillTest\\Registry",
                                            "downLoadSize"),
            "42");
  EXPECT_EQ(GetRegistryUtil()->QueryStringW(HKEY_CURRENT_USER, kScratchKey, L"downLoadSize"),
            L"42");
}

TEST_F(Registry, ReadsOfMissingKeysAndValuesAreEmpty) {
  EXPECT_EQ(GetRegistryUtil()->QueryStringW(HKEY_CURRENT_USER, kScratchKey, L"FPMD5"), L"");
  ASSERT_TRUE(GetRegistryUtil()->SetCurrentUserStringW(kScratchKey, L"other", L"x").ok());
  EXPECT_EQ(GetRegistryUtil()->QueryStringW(HKEY_CURRENT_USER, kScratchKey, L"FPMD5"), L"");
  EXPECT_EQ(
      GetRegistryUtil()->QueryStringA(HKEY_CURRENT_USER, "SOFTWARE\\QuillTest\\Registry", "FPMD5"),
      "");
}

TEST_F(Registry, ValuesBeyondTheReadBufferReadAsEmptyAndFullOnesStayBounded) {
  // Exactly 2048 bytes of wide data with no terminator fill the read buffer:
  // the read must stop at its end, not run past it. (The source holds one
  // more character so that Wine stores no terminator of its own.)
  std::wstring source(1025, L'7');
  ASSERT_TRUE(
      SetRegistryValue(HKEY_CURRENT_USER, kScratchKey, L"full", REG_SZ, source.data(), 2048));
  EXPECT_EQ(GetRegistryUtil()->QueryStringW(HKEY_CURRENT_USER, kScratchKey, L"full"),
            std::wstring(1024, L'7'));
  ASSERT_TRUE(
      SetRegistryValue(HKEY_CURRENT_USER, kScratchKey, L"long", REG_SZ, source.data(), 2050));
  EXPECT_EQ(GetRegistryUtil()->QueryStringW(HKEY_CURRENT_USER, kScratchKey, L"long"), L"");

  // The narrow read's buffer holds 1024 bytes; raw binary data fills it
  // without any terminator.
  std::string binary(1025, 'f');
  ASSERT_TRUE(
      SetRegistryValue(HKEY_CURRENT_USER, kScratchKey, L"fullA", REG_BINARY, binary.data(), 1024));
  EXPECT_EQ(
      GetRegistryUtil()->QueryStringA(HKEY_CURRENT_USER, "SOFTWARE\\QuillTest\\Registry", "fullA"),
      std::string(1024, 'f'));
  ASSERT_TRUE(
      SetRegistryValue(HKEY_CURRENT_USER, kScratchKey, L"longA", REG_BINARY, binary.data(), 1025));
  EXPECT_EQ(
      GetRegistryUtil()->QueryStringA(HKEY_CURRENT_USER, "SOFTWARE\\QuillTest\\Registry", "longA"),
      "");

  std::string text(1000, 'n');
  ASSERT_TRUE(
      GetRegistryUtil()->SetCurrentUserStringA("SOFTWARE\\QuillTest\\Registry", "text", text).ok());
  EXPECT_EQ(
      GetRegistryUtil()->QueryStringA(HKEY_CURRENT_USER, "SOFTWARE\\QuillTest\\Registry", "text"),
      text);
}

TEST_F(Registry, FailedReadsAndWritesNameTheStepAndTheRegistryResult) {
  ASSERT_TRUE(GetRegistryUtil()->SetCurrentUserStringW(kScratchKey, L"text", L"x").ok());
  std::wstring longData(1025, L'7');
  ASSERT_TRUE(
      SetRegistryValue(HKEY_CURRENT_USER, kScratchKey, L"long", REG_SZ, longData.data(), 2050));
  // A key that refuses writing: its DACL lets everyone read, no more.
  const wchar_t kLocked[] = L"SOFTWARE\\QuillTest\\Registry\\locked";
  ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, kLocked, L"v", REG_SZ, L"", 2));
  ASSERT_TRUE(SetKeyAccess(kLocked, KEY_READ));
  const struct {
    const wchar_t* subKey;
    std::wstring name;
    bool write;
    StatusStep step;
    unsigned long code;
  } cases[] = {
      {L"SOFTWARE\\QuillTest\\Registry\\missing", L"v", false, StatusStep::kRegistryOpenKey,
       ERROR_FILE_NOT_FOUND},
      {kScratchKey, L"missing", false, StatusStep::kRegistryReadValue, ERROR_FILE_NOT_FOUND},
      {kScratchKey, L"long", false, StatusStep::kRegistryReadValue, ERROR_MORE_DATA},
      {kScratchKey, L"text", false, StatusStep::kNone, 0},
      {kLocked, L"v", true, StatusStep::kRegistryOpenKey, ERROR_ACCESS_DENIED},
      {kScratchKey, std::wstring(20000, L'n'), true, StatusStep::kRegistryWriteValue,
       ERROR_INVALID_PARAMETER},
  };
  for (const auto& c : cases) {
    Status status = Status::Failed(StatusStep::kRegistryReadValue, "stale");
    if (c.write) {
      status = GetRegistryUtil()->SetCurrentUserStringW(c.subKey, c.name, L"x");
    } else {
      GetRegistryUtil()->QueryStringW(HKEY_CURRENT_USER, c.subKey, c.name, &status);
    }
    EXPECT_EQ(status.step, c.step) << c.subKey << " " << c.name.size();
    EXPECT_EQ(status.code, c.code) << c.subKey << " " << c.name.size();
  }
  // The owner may always rewrite the DACL: the key can be deleted again.
  EXPECT_TRUE(SetKeyAccess(kLocked, KEY_ALL_ACCESS));
  Status status;
  GetRegistryUtil()->QueryStringA(HKEY_CURRENT_USER, "SOFTWARE\\QuillTest\\Registry", "none",
                                  &status);
  EXPECT_EQ(status.step, StatusStep::kRegistryReadValue);
  EXPECT_EQ(status.code, static_cast<unsigned long>(ERROR_FILE_NOT_FOUND));
}

TEST_F(Registry, SuiteCountsAsInstalledOnlyWithBothValues) {
  std::string version = "stale";
  std::wstring folder = L"stale";
  SetupSettings settings;
  EXPECT_EQ(settings.IsSuiteInstalled(version, folder), 0);
  EXPECT_EQ(version, "");
  EXPECT_EQ(folder, L"");

  const wchar_t versionText[] = L"3.2.1";
  ASSERT_TRUE(SetRegistryValue(HKEY_LOCAL_MACHINE, kSuiteKey, L"Version", REG_SZ, versionText,
                               sizeof(versionText)));
  EXPECT_EQ(settings.IsSuiteInstalled(version, folder), 0);
  EXPECT_EQ(version, "3.2.1");
  EXPECT_EQ(folder, L"");

  const wchar_t folderText[] = L"C:\\Program Files\\Quillnest\\\u624b\u673a";
  ASSERT_TRUE(SetRegistryValue(HKEY_LOCAL_MACHINE, kSuiteKey, L"InstallDir", REG_SZ, folderText,
                               sizeof(folderText)));
  EXPECT_EQ(settings.IsSuiteInstalled(version, folder), 1);
  EXPECT_EQ(version, "3.2.1");
  EXPECT_EQ(folder, folderText);

  DeleteKeyTree(HKEY_LOCAL_MACHINE, kSuiteKey);
  ASSERT_TRUE(SetRegistryValue(HKEY_LOCAL_MACHINE, kSuiteKey, L"InstallDir", REG_SZ, folderText,
                               sizeof(folderText)));
  EXPECT_EQ(settings.IsSuiteInstalled(version, folder), 0);
  EXPECT_EQ(version, "");
  EXPECT_EQ(folder, folderText);
}

TEST_F(Registry, NumberTypedVersionReadsAsItsRawBytes) {
  SetupSettings settings;
  std::string version;
  std::wstring folder;
  const wchar_t folderText[] = L"C:\\Quillnest";
  ASSERT_TRUE(SetRegistryValue(HKEY_LOCAL_MACHINE, kSuiteKey, L"InstallDir", REG_SZ, folderText,
                               sizeof(folderText)));
  DWORD number = 0x00003233;  // bytes "32" then zeros
  ASSERT_TRUE(SetRegistryValue(HKEY_LOCAL_MACHINE, kSuiteKey, L"Version", REG_DWORD, &number,
                               sizeof(number)));
  EXPECT_EQ(settings.IsSuiteInstalled(version, folder), 1);
  EXPECT_EQ(version, "32");

  DWORD zeroFirst = 0x00003200;
  ASSERT_TRUE(SetRegistryValue(HKEY_LOCAL_MACHINE, kSuiteKey, L"Version", REG_DWORD, &zeroFirst,
                               sizeof(zeroFirst)));
  EXPECT_EQ(settings.IsSuiteInstalled(version, folder), 0);
  EXPECT_EQ(version, "");
}

#ifdef _WIN64
TEST_F(Registry, SuiteEntriesAreReadFromThe32BitView) {
  // A 64-bit installer's entries are not the suite's as the 32-bit program sees it.
  const wchar_t text[] = L"9.9";
  ASSERT_TRUE(SetRegistryValue(HKEY_LOCAL_MACHINE, kSuiteKey, L"Version", REG_SZ, text,
                               sizeof(text), KEY_WOW64_64KEY));
  ASSERT_TRUE(SetRegistryValue(HKEY_LOCAL_MACHINE, kSuiteKey, L"InstallDir", REG_SZ, text,
                               sizeof(text), KEY_WOW64_64KEY));
  std::string version;
  std::wstring folder;
  EXPECT_EQ(SetupSettings().IsSuiteInstalled(version, folder), 0);
  DeleteKeyTree(HKEY_LOCAL_MACHINE, kSuiteKey, KEY_WOW64_64KEY);
}
#endif

}  // namespace
}  // namespace rerozadez
