// Texts and pictures come out of the resources exactly as the window needs
// them; the built program carries its manifest and version block.
#include <windows.h>
#include <objidl.h>

#include <gdiplus.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "app/media_player_check.h"
#include "resources/resource_ids.h"
#include "app/resource_util.h"
#include "tests/app/gdiplus_session.h"
#include "tests/support/test_files.h"

namespace {

using rerozadez::GetResourceUtil;
using rerozadez::StringFromTableBlock;

TEST(LoadStringText, StatusTextKeepsItsSixLeadingBlanks) {
  const std::wstring text = GetResourceUtil()->LoadStringText(IDS_STATUS_DOWNLOADING);
  ASSERT_GE(text.size(), 7u);
  EXPECT_EQ(L"      ", text.substr(0, 6));
  EXPECT_NE(L' ', text[6]);
}

// Chooses a language for one test and gives the loader back its own.
class LanguageScope {
 public:
  explicit LanguageScope(rerozadez::UiLanguage language)
      : previous_(GetResourceUtil()->Language()) {
    GetResourceUtil()->SetLanguage(language);
  }
  ~LanguageScope() { GetResourceUtil()->SetLanguage(previous_); }

 private:
  rerozadez::UiLanguage previous_;
};

TEST(LoadStringText, EachLanguageOpensItsOwnPageSplitAfterAHyphen) {
  const struct {
    rerozadez::UiLanguage language;
    const wchar_t* page;
  } cases[] = {
      {rerozadez::UiLanguage::kChinese,
       L"http://windows.microsoft.com/zh-cn/windows/download-windows-media-player"},
      {rerozadez::UiLanguage::kEnglish,
       L"http://windows.microsoft.com/en-us/windows/download-windows-media-player"},
  };
  for (const auto& each : cases) {
    LanguageScope scope(each.language);
    const std::wstring first = GetResourceUtil()->LoadStringText(IDS_MEDIA_DETAIL_3);
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(L'-', first.back());
    EXPECT_EQ(std::wstring(each.page), rerozadezGUI::MediaPlayerDownloadPage());
  }
}

// Every text the window shows or speaks, in both tables: none missing or
// empty, no Chinese left in the English one, and the same leading blanks,
// which the window's places rely on.
TEST(StringTables, EveryDisplayTextExistsInBothLanguages) {
  const UINT kDisplayTexts[] = {
      IDS_WINDOW_TITLE,
      IDS_RETRY,
      IDS_STATUS_DOWNLOADING,
      IDS_ERROR_DOWNLOAD_FAILED,
      IDS_FAILURE_NO_CONNECTION,
      IDS_FAILURE_PROXY_REFUSED,
      IDS_FAILURE_BAD_REPLY,
      IDS_FAILURE_DOWNLOAD_BROKEN,
      IDS_FAILURE_NOT_PUBLISHER,
      IDS_FAILURE_DISK,
      IDS_FAILURE_FILE_IN_USE,
      IDS_FAILURE_SETUP_NOT_STARTED,
      IDS_PROGRESS_OF_TOTAL,
      IDS_PROGRESS_SO_FAR,
      IDS_PROGRESS_RESUMED,
      IDS_PROGRESS_SPEED,
      IDS_PROGRESS_TIME_LEFT,
      IDS_PROGRESS_WAITING,
      IDS_PROGRESS_SECONDS,
      IDS_PROGRESS_MINUTES,
      IDS_PROGRESS_HOURS,
      IDS_STATUS_READING_SD_CARD,
      IDS_STATUS_LAUNCHING_SETUP,
      IDS_STATUS_INSTALLING_DRIVER,
      IDS_STATUS_CHECKSUM_MISMATCH,
      IDS_INSTALL_DRIVER,
      IDS_CANCEL,
      IDS_CAPTION_RUN_STARTED,
      IDS_CAPTION_FETCH_STAGE,
      IDS_XP_NEW_HARDWARE_NOTE,
      IDS_OPEN_PAGE,
      IDS_BACK,
      IDS_MEDIA_HINT,
      IDS_MEDIA_DETAIL_1,
      IDS_MEDIA_DETAIL_2,
      IDS_MEDIA_DETAIL_3,
      IDS_MEDIA_DETAIL_4,
      IDS_DETAILS,
      IDS_MINIMIZE_NAME,
      IDS_CLOSE_NAME,
      IDS_PROGRESS_NAME,
  };
  const auto blanks = [](const std::wstring& text) { return text.find_first_not_of(L' '); };
  for (UINT id : kDisplayTexts) {
    const std::wstring chinese =
        GetResourceUtil()->LoadStringText(id, rerozadez::UiLanguage::kChinese);
    const std::wstring english =
        GetResourceUtil()->LoadStringText(id, rerozadez::UiLanguage::kEnglish);
    EXPECT_NE(std::wstring::npos, blanks(chinese)) << "Chinese text " << id;
    EXPECT_NE(std::wstring::npos, blanks(english)) << "English text " << id;
    // The progress line's pieces follow one another: English spaces them.
    const bool linePiece = id > IDS_PROGRESS_SO_FAR && id <= IDS_PROGRESS_HOURS;
    if (!linePiece) {
      EXPECT_EQ(blanks(chinese), blanks(english)) << "leading blanks of text " << id;
    }
    for (wchar_t unit : english) {
      // Everything from the CJK radicals up is no English.
      EXPECT_LT(static_cast<unsigned>(unit), 0x2e80u) << "English text " << id;
    }
    for (wchar_t unit : chinese) {
      // UTF-8 read in a Western code page: what a wrongly compiled table shows.
      EXPECT_FALSE(unit >= 0x80 && unit <= 0xff) << "Chinese text " << id;
    }
  }
  const std::wstring title =
      GetResourceUtil()->LoadStringText(IDS_WINDOW_TITLE, rerozadez::UiLanguage::kChinese);
  EXPECT_TRUE(std::any_of(title.begin(), title.end(),
                          [](wchar_t unit) { return unit >= 0x4e00 && unit <= 0x9fff; }))
      << "the Chinese title holds no Chinese";
}

TEST(StringTables, WindowClassIsTheChineseOneInEveryLanguage) {
  const std::wstring chinese =
      GetResourceUtil()->LoadStringText(IDS_WINDOW_CLASS, rerozadez::UiLanguage::kChinese);
  EXPECT_FALSE(chinese.empty());
  LanguageScope english(rerozadez::UiLanguage::kEnglish);
  EXPECT_EQ(chinese, GetResourceUtil()->LoadStringText(IDS_WINDOW_CLASS));
}

TEST(LoadStringText, MissingTextsAreEmpty) {
  // 110 shares its block with 103 and 109 but has no entry; block 313 does
  // not exist at all.
  EXPECT_EQ(L"", GetResourceUtil()->LoadStringText(110));
  EXPECT_EQ(L"", GetResourceUtil()->LoadStringText(5000));
  EXPECT_EQ(L"", GetResourceUtil()->LoadStringText(0));
}

// A block of entries as the string table stores them.
std::wstring Block(std::initializer_list<std::wstring> entries) {
  std::wstring block;
  for (const std::wstring& entry : entries) {
    block.push_back(static_cast<wchar_t>(entry.size()));
    block += entry;
  }
  return block;
}

TEST(StringFromTableBlock, WalksEntriesByTheirLengths) {
  const std::wstring block = Block({L"zero", L"", L"two", L"drei"});
  EXPECT_EQ(L"zero", StringFromTableBlock(block.data(), block.size() * 2, 16));
  EXPECT_EQ(L"", StringFromTableBlock(block.data(), block.size() * 2, 17));
  EXPECT_EQ(L"two", StringFromTableBlock(block.data(), block.size() * 2, 18));
  EXPECT_EQ(L"drei", StringFromTableBlock(block.data(), block.size() * 2, 35));
}

TEST(StringFromTableBlock, TextIsCutAtItsFirstNull) {
  const std::wstring block = Block({std::wstring(L"ab\0cd", 5)});
  EXPECT_EQ(L"ab", StringFromTableBlock(block.data(), block.size() * 2, 0));
}

TEST(StringFromTableBlock, NeverReadsPastTheEndOfATruncatedBlock) {
  std::wstring block = Block({L"one", L"two"});
  block[4] = 200;  // the second entry claims far more than the block holds
  EXPECT_EQ(L"", StringFromTableBlock(block.data(), block.size() * 2, 1));
  EXPECT_EQ(L"", StringFromTableBlock(block.data(), block.size() * 2, 2));
  EXPECT_EQ(L"", StringFromTableBlock(block.data(), block.size() * 2, 15));
  EXPECT_EQ(L"", StringFromTableBlock(block.data(), 0, 0));
}

class LoadPngImage : public ::testing::Test {
 protected:
  std::unique_ptr<Gdiplus::Bitmap> Load(UINT id) {
    return GetResourceUtil()->LoadPngImage(id, GetModuleHandleW(nullptr));
  }
  static COLORREF Rgb(Gdiplus::Bitmap& bitmap, int x, int y) {
    Gdiplus::Color colour;
    bitmap.GetPixel(x, y, &colour);
    return RGB(colour.GetR(), colour.GetG(), colour.GetB());
  }
  static int Alpha(Gdiplus::Bitmap& bitmap, int x, int y) {
    Gdiplus::Color colour;
    bitmap.GetPixel(x, y, &colour);
    return colour.GetA();
  }
  quilltest::GdiplusSession gdiplus_;
};

TEST_F(LoadPngImage, BackgroundHasItsSizePanelBorderSeparatorAndFooter) {
  ASSERT_TRUE(gdiplus_.Started());
  std::unique_ptr<Gdiplus::Bitmap> background = Load(IDP_BACKGROUND);
  ASSERT_TRUE(background);
  EXPECT_EQ(482u, background->GetWidth());
  EXPECT_EQ(273u, background->GetHeight());
  EXPECT_EQ(RGB(171, 171, 171), Rgb(*background, 0, 0));
  EXPECT_EQ(RGB(171, 171, 171), Rgb(*background, 481, 272));
  EXPECT_EQ(RGB(171, 171, 171), Rgb(*background, 481, 100));
  EXPECT_EQ(RGB(249, 249, 249), Rgb(*background, 100, 150));
  EXPECT_EQ(RGB(249, 249, 249), Rgb(*background, 440, 15));  // under the caption buttons
  EXPECT_EQ(RGB(176, 176, 176), Rgb(*background, 240, 221));
  EXPECT_EQ(RGB(235, 235, 235), Rgb(*background, 240, 240));
  EXPECT_EQ(255, Alpha(*background, 240, 60));
}

TEST_F(LoadPngImage, ButtonFacesHaveTheirSizesAndTransparentCorners) {
  ASSERT_TRUE(gdiplus_.Started());
  struct Face {
    UINT id;
    UINT width;
    UINT height;
  };
  const Face faces[] = {{IDP_WIDE_BUTTON, 119, 35},
                        {IDP_WIDE_BUTTON_HOVER, 119, 35},
                        {IDP_SMALL_BUTTON, 57, 34},
                        {IDP_SMALL_BUTTON_HOVER, 57, 34}};
  for (const Face& face : faces) {
    std::unique_ptr<Gdiplus::Bitmap> picture = Load(face.id);
    ASSERT_TRUE(picture) << face.id;
    EXPECT_EQ(face.width, picture->GetWidth()) << face.id;
    EXPECT_EQ(face.height, picture->GetHeight()) << face.id;
    EXPECT_LT(Alpha(*picture, 0, 0), 128) << face.id;
    EXPECT_EQ(255, Alpha(*picture, face.width / 2, face.height / 2)) << face.id;
  }
  // The wide faces are green, the hover one lighter than the normal one.
  std::unique_ptr<Gdiplus::Bitmap> wide = Load(IDP_WIDE_BUTTON);
  std::unique_ptr<Gdiplus::Bitmap> wideHover = Load(IDP_WIDE_BUTTON_HOVER);
  const COLORREF normal = Rgb(*wide, 60, 17);
  const COLORREF hover = Rgb(*wideHover, 60, 17);
  EXPECT_GT(GetGValue(normal), GetRValue(normal) + 40);
  EXPECT_GT(GetGValue(hover), GetGValue(normal));

  std::unique_ptr<Gdiplus::Bitmap> details = Load(IDP_DETAILS_BUTTON);
  ASSERT_TRUE(details);
  EXPECT_EQ(100u, details->GetWidth());
  EXPECT_EQ(26u, details->GetHeight());
  EXPECT_EQ(RGB(249, 249, 249), Rgb(*details, 50, 13));
}

TEST_F(LoadPngImage, AnythingButAPictureGivesNull) {
  ASSERT_TRUE(gdiplus_.Started());
  EXPECT_FALSE(Load(999));      // no resource at all
  EXPECT_FALSE(Load(IDI_APP));  // an icon, not a "PNG" resource
  EXPECT_FALSE(Load(900));      // a "PNG" resource holding no picture
}

TEST_F(LoadPngImage, PictureOutlivesTheResourceStream) {
  ASSERT_TRUE(gdiplus_.Started());
  std::unique_ptr<Gdiplus::Bitmap> first = Load(IDP_BACKGROUND);
  std::unique_ptr<Gdiplus::Bitmap> second = Load(IDP_BACKGROUND);
  ASSERT_TRUE(first && second);
  // Each slot owns its own pixels: changing one leaves the other alone.
  first->SetPixel(10, 10, Gdiplus::Color(255, 1, 2, 3));
  EXPECT_EQ(RGB(1, 2, 3), Rgb(*first, 10, 10));
  EXPECT_EQ(RGB(249, 249, 249), Rgb(*second, 10, 10));
}

// Width of the colour bitmap of an icon loaded at the given size.
int IconImageWidth(UINT id, int size, WORD* bitsPerPixel) {
  HICON icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id),
                                             IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
  if (icon == nullptr) {
    return 0;
  }
  ICONINFO info = {};
  GetIconInfo(icon, &info);
  BITMAP bitmap = {};
  GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap);
  *bitsPerPixel = bitmap.bmBitsPixel;
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  DestroyIcon(icon);
  return bitmap.bmWidth;
}

TEST(Icons, CaptionIconsAreFourteenPixelsWithAlpha) {
  for (UINT id : {IDI_MINIMIZE, IDI_MINIMIZE_PRESSED, IDI_CLOSE, IDI_CLOSE_PRESSED}) {
    WORD bits = 0;
    EXPECT_EQ(14, IconImageWidth(id, 14, &bits)) << id;
    EXPECT_EQ(32, bits) << id;
  }
}

TEST(Icons, ApplicationIconCarriesEverySize) {
  // Find the best image for each size in the icon directory: an exact match
  // means the size is carried, not scaled. The window takes its large and its
  // small icon from this one group.
  HRSRC group = FindResourceW(nullptr, MAKEINTRESOURCEW(IDI_APP), MAKEINTRESOURCEW(14));
  ASSERT_NE(nullptr, group);
  BYTE* directory = static_cast<BYTE*>(LockResource(LoadResource(nullptr, group)));
  ASSERT_NE(nullptr, directory);
  for (int size : {48, 32, 24, 16}) {
    const int image = LookupIconIdFromDirectoryEx(directory, TRUE, size, size, LR_DEFAULTCOLOR);
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(image), MAKEINTRESOURCEW(3));
    ASSERT_NE(nullptr, found) << size;
    const BITMAPINFOHEADER* header =
        static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(nullptr, found)));
    EXPECT_EQ(size, header->biWidth);
    EXPECT_EQ(32, header->biBitCount) << size;
  }
}

// The built program beside the tests' folder.
std::wstring ProgramPath() {
  return quilltest::ModuleDir() + L"..\\..\\app\\QuillnestMini.exe";
}

TEST(ProgramResources, ManifestAsksForAdministratorCommonControlsSixAndDpiAwareness) {
  HMODULE program = LoadLibraryExW(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(nullptr, program);
  HRSRC found = FindResourceW(program, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_NE(nullptr, found);
  const char* text = static_cast<const char*>(LockResource(LoadResource(program, found)));
  const std::string manifest(text, SizeofResource(program, found));
  EXPECT_NE(std::string::npos, manifest.find("level=\"requireAdministrator\""));
  EXPECT_NE(std::string::npos, manifest.find("Microsoft.Windows.Common-Controls"));
  EXPECT_NE(std::string::npos, manifest.find("version=\"6.0.0.0\""));
  // Windows 10 and 11 report their own version only to programs that list them.
  EXPECT_NE(std::string::npos, manifest.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"));
  EXPECT_NE(std::string::npos, manifest.find("{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"));
  // The window scales itself: Windows must not stretch it.
  EXPECT_NE(std::string::npos, manifest.find("WindowsSettings\">true</dpiAware>"));
  FreeLibrary(program);
}

TEST(ProgramResources, VersionIsReadFromTheChineseBlock) {
  const rerozadezGUI::ProductVersion version = rerozadezGUI::ReadProductVersion(ProgramPath());
  ASSERT_TRUE(version.hasVersionInfo);
  EXPECT_EQ(L"1.0.0.1", version.text);
}

}  // namespace
