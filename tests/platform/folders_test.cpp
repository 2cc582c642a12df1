#include "platform/folders.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "platform/diagnostic_log.h"
#include "tests/support/status_printing.h"
#include "tests/support/test_files.h"

namespace rerozadez {
namespace {

// Every missing level is made, top down. Where a file stands in the way
// the walk fails there, naming it, however deep the path below it
// (thousands of levels, as a command line can hold).
TEST(MakeFolderTree, MakesEveryMissingLevelAndNamesTheFirstItCannotMake) {
  quilltest::ScratchDir scratch;
  const Status made = MakeFolderTree(scratch.File(L"a\\b/c\\\\d\\"), StatusStep::kLayoutMakeFolder);
  EXPECT_TRUE(made.ok()) << made;
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(scratch.File(L"a\\b\\c\\d").c_str()));

  ASSERT_TRUE(quilltest::WriteFileBytes(scratch.File(L"file"), "not a folder"));
  std::wstring deep = scratch.File(L"file");
  while (deep.size() < 22000) {
    deep += L"\\d";
  }
  const Status refused = MakeFolderTree(deep, StatusStep::kLayoutMakeFolder);
  EXPECT_EQ(StatusStep::kLayoutMakeFolder, refused.step) << refused;
  EXPECT_EQ(LogText(scratch.File(L"file")), refused.detail);
}

}  // namespace
}  // namespace rerozadez
