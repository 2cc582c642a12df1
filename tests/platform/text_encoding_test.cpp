#include <gtest/gtest.h>
#include <windows.h>

#include "platform/text_encoding.h"

namespace rerozadez {
namespace {

TEST(TextEncoding, NullAndEmptySourcesGiveEmptyText) {
  EXPECT_EQ(MultiByteToWide(CP_ACP, nullptr), L"");
  EXPECT_EQ(WideToMultiByte(CP_ACP, nullptr), "");
  EXPECT_EQ(Utf8ToWide(nullptr), L"");
  EXPECT_EQ(WideToUtf8(nullptr), "");
  EXPECT_EQ(MultiByteToWide(CP_ACP, ""), L"");
  EXPECT_EQ(WideToMultiByte(CP_ACP, L""), "");
  EXPECT_EQ(Utf8ToWide(""), L"");
  EXPECT_EQ(WideToUtf8(L""), "");
}

TEST(TextEncoding, ConversionStopsAtTheFirstNull) {
  const char narrow[] = "ab\0cd";
  const wchar_t wide[] = L"ab\0cd";
  EXPECT_EQ(MultiByteToWide(CP_ACP, narrow), L"ab");
  EXPECT_EQ(WideToMultiByte(CP_ACP, wide), "ab");
  EXPECT_EQ(Utf8ToWide(narrow), L"ab");
  EXPECT_EQ(WideToUtf8(wide), "ab");
  // The result carries no terminator of its own.
  EXPECT_EQ(MultiByteToWide(CP_ACP, "abc").size(), 3u);
  EXPECT_EQ(WideToUtf8(L"abc").size(), 3u);
}

TEST(TextEncoding, Utf8RoundTripKeepsChineseAndSurrogatePairs) {
  const wchar_t text[] = L"Travik\u624b\u673a\u5e73\u677f \U0001F4F1 \u00e9";
  std::string utf8 = WideToUtf8(text);
  EXPECT_EQ(utf8,
            "Travik\xe6\x89\x8b\xe6\x9c\xba\xe5\xb9\xb3\xe6\x9d\xbf \xf0\x9f\x93\xb1 \xc3\xa9");
  EXPECT_EQ(Utf8ToWide(utf8.c_str()), text);
}

TEST(TextEncoding, AnsiRoundTripKeepsEveryCharacterOfTheCodePage) {
  // Every byte that the code page maps to a character comes back unchanged.
  std::string ansi;
  for (int byte = 0x20; byte < 0x7f; ++byte) {
    ansi.push_back(static_cast<char>(byte));
  }
  std::wstring wide = MultiByteToWide(CP_ACP, ansi.c_str());
  EXPECT_EQ(wide.size(), ansi.size());
  EXPECT_EQ(WideToMultiByte(CP_ACP, wide.c_str()), ansi);

  CPINFO info = {};
  ASSERT_TRUE(GetCPInfo(CP_ACP, &info));
  if (info.MaxCharSize == 1) {
    std::string high;
    for (int byte = 0xa0; byte <= 0xff; ++byte) {
      high.push_back(static_cast<char>(byte));
    }
    std::wstring highWide = MultiByteToWide(CP_ACP, high.c_str());
    EXPECT_EQ(WideToMultiByte(CP_ACP, highWide.c_str()), high);
  }
}

TEST(TextEncoding, CharacterMissingFromTheCodePageBecomesTheDefaultCharacter) {
  // U+10400 (a surrogate pair) exists in no ANSI code page.
  const wchar_t text[] = L"a\U00010400b";
  CPINFO info = {};
  ASSERT_TRUE(GetCPInfo(CP_ACP, &info));
  std::string ansi = WideToMultiByte(CP_ACP, text);
  ASSERT_FALSE(ansi.empty());
  EXPECT_EQ(ansi.front(), 'a');
  EXPECT_EQ(ansi.back(), 'b');
  EXPECT_NE(ansi.find(reinterpret_cast<const char*>(info.DefaultChar)), std::string::npos);
}

}  // namespace
}  // namespace rerozadez
