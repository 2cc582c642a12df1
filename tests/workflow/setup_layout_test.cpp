#include "workflow/setup_layout.h"

#include <gtest/gtest.h>

#include "tests/support/status_printing.h"
#include "tests/support/test_files.h"

namespace rerozadez {
namespace {

const char kDigest[] = "0123456789abcdef0123456789ABCDEF";

TEST(LayoutManifest, OnlyWhatTheWriterWritesIsUsable) {
  const std::string digest = kDigest;
  const struct {
    std::string text;
    bool usable;
  } cases[] = {
      {FormatLayoutManifest({"2.1.0.7", "4096", kDigest}), true},
      {FormatLayoutManifest({"", "4096", kDigest}), true},  // no offer when it was made
      {"MD5=" + digest + "\nSize=7\n\n", true},             // no version, any order
      {FormatLayoutManifest({"2.1.0.7", "0", kDigest}), false},
      {FormatLayoutManifest({"2.1.0.7", "-5", kDigest}), false},
      {FormatLayoutManifest({"2.1.0.7", "4096", "0123456789abcdef"}), false},  // short form
      {FormatLayoutManifest({"2.1.0.7", "4096", "0123456789abcdef0123456789abcdeg"}), false},
      {"Size=4096\r\nMD5=" + digest, false},  // the last line unended
      {"", false},
      {"Size=12abc\nMD5=" + digest + "\n", false},
      {"Size=+12\nMD5=" + digest + "\n", false},
      {"Size=5 6\nMD5=" + digest + "\n", false},
      {"Size=99999999999999999999999\nMD5=" + digest + "\n", false},  // beyond 64 bits
      {"Size=7\nSize=8\nMD5=" + digest + "\n", false},
      {"Size=7\nMD5=" + digest + "\nComment=x\n", false},
      {FormatLayoutManifest({"2.1", "4096", kDigest}), false},
      {FormatLayoutManifest({"1.0\r\nSize=5", "4096", kDigest}), false},
  };
  for (const auto& each : cases) {
    LayoutManifest manifest;
    EXPECT_EQ(each.usable, ParseLayoutManifest(each.text, &manifest).ok()) << each.text;
  }
  const LayoutManifest written = {"3.2.0.150", "50331648", kDigest};
  LayoutManifest read;
  ASSERT_TRUE(ParseLayoutManifest(FormatLayoutManifest(written), &read).ok());
  EXPECT_EQ(FormatLayoutManifest(written), FormatLayoutManifest(read));
}

TEST(LayoutManifest, WrittenLayoutReadsBackAndLeavesNoPartialFiles) {
  quilltest::ScratchDir scratch;
  const std::wstring setup = scratch.File(L"setup.exe");
  ASSERT_TRUE(quilltest::WriteFileBytes(setup, std::string(70000, 'q')));
  const std::wstring folder = scratch.File(L"a share\\deep\\suite");
  // A version text that could hold lines of its own is refused before anything is written.
  EXPECT_EQ(StatusStep::kLayoutWriteManifest, WriteLayout(setup, folder, "3.0\r\nSize=5").step);
  EXPECT_FALSE(quilltest::FileExists(LayoutSetupPath(folder)));
  const Status laid = WriteLayout(setup, folder, "3.0.0.7");
  ASSERT_TRUE(laid.ok()) << laid;
  LayoutManifest manifest;
  const Status read = ReadLayoutManifest(folder, &manifest);
  ASSERT_TRUE(read.ok()) << read;
  EXPECT_EQ("3.0.0.7", manifest.version);
  EXPECT_EQ("70000", manifest.size);
  EXPECT_EQ(quilltest::ReadFileBytes(setup), quilltest::ReadFileBytes(LayoutSetupPath(folder)));
  EXPECT_FALSE(quilltest::FileExists(LayoutSetupPath(folder) + L".partial"));
  EXPECT_EQ(StatusStep::kSourceNoManifest, ReadLayoutManifest(scratch.Path(), &manifest).step);
}

}  // namespace
}  // namespace rerozadez
