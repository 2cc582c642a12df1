#include "cab/cabinet_header.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/cab/cab_test_support.h"
#include "tests/support/test_files.h"

namespace cab {
namespace {

using quilltest::ReadFileBytes;

void Set16(std::string* bytes, size_t offset, uint32_t value) {
  (*bytes)[offset] = static_cast<char>(value & 0xFF);
  (*bytes)[offset + 1] = static_cast<char>((value >> 8) & 0xFF);
}

uint32_t Get32(const std::string& bytes, size_t offset) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data()) + offset;
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void Set32(std::string* bytes, size_t offset, uint32_t value) {
  Set16(bytes, offset, value & 0xFFFF);
  Set16(bytes, offset + 2, value >> 16);
}

TEST(CabinetHeader, CabinetsAsPackedAreSound) {
  for (const std::wstring& path :
       {quilltest::BridgeCabinetPath(), quilltest::TestCabinetFile(L"nested.cab"),
        quilltest::TestCabinetFile(L"hostile.cab")}) {
    std::string bytes = ReadFileBytes(path);
    ASSERT_FALSE(bytes.empty()) << path;
    EXPECT_TRUE(IsCabinetHeaderSound(bytes)) << path;
  }
}

TEST(CabinetHeader, InconsistentFieldsAreRefused) {
  // The carried cabinet: one folder (its entry at 36) and three files; the
  // first file's entry is at the files offset (0x10).
  const std::string carried = ReadFileBytes(quilltest::BridgeCabinetPath());
  ASSERT_GT(carried.size(), 1000u);
  const size_t folderEntry = 36;
  const size_t firstFile = Get32(carried, 0x10);
  struct Mutation {
    const char* what;
    std::function<void(std::string*)> apply;
  };
  const std::vector<Mutation> mutations = {
      {"no folders, three files", [](std::string* c) { Set16(c, 0x1A, 0); }},
      {"cbCabinet past the end", [](std::string* c) { Set32(c, 0x08, Get32(*c, 0x08) + 1); }},
      {"one byte short", [](std::string* c) { c->pop_back(); }},
      {"signature", [](std::string* c) { (*c)[0] = 'X'; }},
      {"version 1.4", [](std::string* c) { (*c)[24] = 4; }},
      {"files past the end", [](std::string* c) { Set32(c, 0x10, Get32(*c, 0x08)); }},
      {"folder data past the end",
       [&](std::string* c) { Set32(c, folderEntry, Get32(*c, 0x08) - 4); }},
      {"one block too many",
       [&](std::string* c) { Set16(c, folderEntry + 4, Get32(*c, folderEntry + 4) + 1); }},
      {"unknown compression", [&](std::string* c) { Set16(c, folderEntry + 6, 7); }},
      {"oversized block", [&](std::string* c) { Set16(c, Get32(*c, folderEntry) + 6, 0xFFFF); }},
      {"file in a missing folder", [&](std::string* c) { Set16(c, firstFile + 8, 1); }},
      {"file beyond its folder's data", [&](std::string* c) { Set32(c, firstFile, 0x7FFFFFFF); }},
      {"continued file without a next cabinet",
       [&](std::string* c) { Set16(c, firstFile + 8, 0xFFFE); }},
  };
  for (const Mutation& mutation : mutations) {
    std::string cabinet = carried;
    mutation.apply(&cabinet);
    EXPECT_FALSE(IsCabinetHeaderSound(cabinet)) << mutation.what;
  }
  for (size_t length : {0u, 4u, 35u, 36u}) {
    EXPECT_FALSE(IsCabinetHeaderSound(carried.substr(0, length))) << length;
  }
}

}  // namespace
}  // namespace cab
