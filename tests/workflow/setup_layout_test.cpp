#include "workflow/setup_layout.h"

#include <gtest/gtest.h>

#include "tests/support/status_printing.h"
#include "tests/support/test_files.h"

namespace rerozadez {
namespace {

const char kDigest[] = "0123456789abcdef0123456789ABCDEF";

TEST(LayoutManifest, OnlyACompleteManifestIsUsable) {
  const struct {
    std::string text;
    bool usable;
  } cases[] = {
      {FormatLayoutManifest({"2.1.0", "4096", kDigest}), true},
      {"MD5=" + std::string(kDigest) + "\nSize=7\n", true},  // no version, any order
      {FormatLayoutManifest({"2.1.0", "0", kDigest}), false},
      {FormatLayoutManifest({"2.1.0", "-5", kDigest}), false},
      {FormatLayoutManifest({"2.1.0", "4096", "0123456789abcdef"}), false},  // short form
      {FormatLayoutManifest({"2.1.0", "4096", "0123456789abcdef0123456789abcdeg"}), false},
      {"Size=4096\r\nMD5=" + std::string(kDigest), false},  // the last line unended
      {"", false},
  };
  for (const auto& each : cases) {
    LayoutManifest manifest;
    EXPECT_EQ(each.usable, ParseLayoutManifest(each.text, &manifest)) << each.text;
  }
}

TEST(LayoutManifest, WrittenLayoutReadsBackAndLeavesNoPartialFiles) {
  quilltest::ScratchDir scratch;
  const std::wstring setup = scratch.File(L"setup.exe");
  ASSERT_TRUE(quilltest::WriteFileBytes(setup, std::string(70000, 'q')));
  const std::wstring folder = scratch.File(L"a share\\deep\\suite");
  const Status laid = WriteLayout(setup, folder, "3.0");
  ASSERT_TRUE(laid.ok()) << laid;
  LayoutManifest manifest;
  const Status read = ReadLayoutManifest(folder, &manifest);
  ASSERT_TRUE(read.ok()) << read;
  EXPECT_EQ("3.0", manifest.version);
  EXPECT_EQ("70000", manifest.size);
  EXPECT_EQ(quilltest::ReadFileBytes(setup), quilltest::ReadFileBytes(LayoutSetupPath(folder)));
  EXPECT_FALSE(quilltest::FileExists(LayoutSetupPath(folder) + L".partial"));
  EXPECT_EQ(StatusStep::kSourceNoManifest, ReadLayoutManifest(scratch.Path(), &manifest).step);
}

}  // namespace
}  // namespace rerozadez
