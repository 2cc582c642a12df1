#include "settings/config_file.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "settings/setup_settings.h"
#include "settings/sys_util.h"
#include "tests/support/test_files.h"

namespace rerozadez {
namespace {

using quilltest::ModuleDir;
using quilltest::WriteFileBytes;

// --- The lookup rule, called directly -------------------------------------

TEST(ConfigLookup, FindsTrimmedValueOfEachKey) {
  std::wstring text = L"Channel = web \r\n\tOverSea=\t1\t\r\nMediaPlayer=0\r\n";
  EXPECT_EQ(GetConfigValue(text, L"Channel"), L"web");
  EXPECT_EQ(GetConfigValue(text, L"OverSea"), L"1");
  EXPECT_EQ(GetConfigValue(text, L"MediaPlayer"), L"0");
}

TEST(ConfigLookup, KeysAreFoundBySubstringSoPrefixKeysMustComeFirst) {
  // "Driver" is found inside "DriverParams" when that line comes first.
  std::wstring paramsFirst = L"DriverParams=/S\r\nDriver=setup.exe\r\n";
  EXPECT_EQ(GetConfigValue(paramsFirst, L"Driver"), L"/S");
  std::wstring driverFirst = L"Driver=setup.exe\r\nDriverParams=/S\r\n";
  EXPECT_EQ(GetConfigValue(driverFirst, L"Driver"), L"setup.exe");
  EXPECT_EQ(GetConfigValue(driverFirst, L"DriverParams"), L"/S");
  // A key's name inside an earlier value captures the lookup.
  std::wstring captured = L"SetupBigPackage=/sdcard/Driver=x\r\nDriver=real.exe\r\n";
  EXPECT_EQ(GetConfigValue(captured, L"Driver"), L"x");
}

TEST(ConfigLookup, OnlyTheFirstEqualsSignEndsTheKey) {
  EXPECT_EQ(GetConfigValue(L"DriverParams=/a=b\r\n", L"DriverParams"), L"/a=b");
  EXPECT_EQ(GetConfigValue(L"DriverParams==x\r\n", L"DriverParams"), L"=x");
}

TEST(ConfigLookup, GivesEmptyWithoutKeyEqualsOrLineEnd) {
  EXPECT_EQ(GetConfigValue(L"Channel=web\r\n", L"channel"), L"");  // case-sensitive
  EXPECT_EQ(GetConfigValue(L"Channel web\r\n", L"Channel"), L"");
  EXPECT_EQ(GetConfigValue(L"Channel=web", L"Channel"), L"");  // last line, no line end
  EXPECT_EQ(GetConfigValue(L"Channel= \t \r\n", L"Channel"), L"");
  EXPECT_EQ(GetConfigValue(L"", L"Channel"), L"");
}

TEST(ConfigLookup, ValueNeverRunsIntoALaterLine) {
  // The key's own line has no "="; the next line's must not be taken.
  std::wstring text = L"Channel\r\nOverSea=1\r\nMediaPlayer=1\r\n";
  EXPECT_EQ(GetConfigValue(text, L"Channel"), L"");
}

TEST(ConfigFlag, OnlyTheDecimalNumberOneIsSet) {
  for (const wchar_t* one : {L"1", L"01", L"+1", L"1abc", L" 1", L"0001"}) {
    EXPECT_EQ(ReadConfigFlag(one), 1) << one;
  }
  for (const wchar_t* other :
       {L"", L"0", L"2", L"-1", L"yes", L"true", L"0x1", L"4294967297", L"a1", L"11"}) {
    EXPECT_EQ(ReadConfigFlag(other), 0) << other;
  }
}

TEST(ConfigDecoding, FirstByteChoosesTheEncoding) {
  // ANSI text stops at its first zero byte.
  EXPECT_EQ(DecodeConfigText(std::string("Channel=web\r\n\0OverSea=1\r\n", 26)),
            L"Channel=web\r\n");
  // A zero first byte means UTF-16 little-endian up to the first zero unit;
  // an odd trailing byte still forms a unit.
  EXPECT_EQ(DecodeConfigText(std::string("\x00\x30"
                                         "A\x00"
                                         "B",
                                         5)),
            L"\u3000AB");
  EXPECT_EQ(DecodeConfigText(std::string("\x00\x30\x00\x00"
                                         "A\x00",
                                         6)),
            L"\u3000");
  EXPECT_EQ(DecodeConfigText(std::string()), L"");
}

// --- Whole files beside the test executable --------------------------------

class ConfigFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = ModuleDir();
    path_ = dir_ + L"SetupConfig.txt";
    DeleteFileW(path_.c_str());
  }
  void TearDown() override {
    DeleteFileW(path_.c_str());
    for (const std::wstring& file : extraFiles_) {
      DeleteFileW(file.c_str());
    }
  }

  SetupSettings Load(const std::string& bytes) {
    EXPECT_TRUE(WriteFileBytes(path_, bytes));
    return LoadFresh();
  }
  SetupSettings LoadFresh() {
    SetupSettings settings;
    settings.LoadSetupConfig();
    return settings;
  }
  // A file beside the executable that the test removes afterwards.
  void Place(const std::wstring& name) {
    extraFiles_.push_back(dir_ + name);
    ASSERT_TRUE(WriteFileBytes(dir_ + name, "MZ"));
  }

  static void ExpectDefaults(const SetupSettings& settings) {
    EXPECT_EQ(settings.setupBigPackage, L"");
    EXPECT_EQ(settings.driverPath, L"");
    EXPECT_EQ(settings.driverParams, L"");
    EXPECT_EQ(settings.channel, L"");
    EXPECT_EQ(settings.overSea, 0);
    EXPECT_EQ(settings.mediaPlayer, 0);
    EXPECT_EQ(settings.bridgeToolPath, L"");
    EXPECT_EQ(settings.diagnosticLog, 1);
  }

  std::wstring dir_;
  std::wstring path_;
  std::vector<std::wstring> extraFiles_;
};

TEST_F(ConfigFile, ExampleFileFillsEveryField) {
  Place(L"quill-driver-setup.exe");
  SetupSettings settings = Load(
      "SetupBigPackage=/sdcard/Tools/setup_full.exe\r\n"
      "Driver=quill-driver-setup.exe\r\n"
      "DriverParams=/S\r\n"
      "Channel=web\r\n"
      "OverSea=0\r\n"
      "MediaPlayer=1\r\n");
  EXPECT_EQ(settings.setupBigPackage, L"/sdcard/Tools/setup_full.exe");
  EXPECT_EQ(settings.driverPath, dir_ + L"quill-driver-setup.exe");
  EXPECT_EQ(settings.driverParams, L"/S");
  EXPECT_EQ(settings.channel, L"web");
  EXPECT_EQ(settings.overSea, 0);
  EXPECT_EQ(settings.mediaPlayer, 1);
  EXPECT_EQ(settings.moduleDir, dir_);
}

// The log is on unless its own key reads as 0; the key is not mistaken for
// a word in another line.
TEST_F(ConfigFile, DiagnosticLogIsTurnedOffOnlyByItsKeyReadingZero) {
  EXPECT_EQ(Load("Channel=web\r\nDiagnosticLog=0\r\n").diagnosticLog, 0);
  EXPECT_EQ(Load("DiagnosticLog= 00 \r\n").diagnosticLog, 0);
  for (const char* on : {"DiagnosticLog=1\r\n", "DiagnosticLog=\r\n", "DiagnosticLog=off\r\n",
                         "DriverParams=/Log=0\r\nChannel=Log=0\r\n"}) {
    EXPECT_EQ(Load(on).diagnosticLog, 1) << on;
  }
}

TEST_F(ConfigFile, MissingOrEmptyFileKeepsDefaultsButSetsModuleDir) {
  SetupSettings missing = LoadFresh();
  ExpectDefaults(missing);
  EXPECT_EQ(missing.moduleDir, dir_);
  ASSERT_EQ(missing.moduleDir.back(), L'\\');

  SetupSettings empty = Load("");
  ExpectDefaults(empty);
  EXPECT_EQ(empty.moduleDir, dir_);
}

TEST_F(ConfigFile, DriverMustNameAFileBesideTheExecutable) {
  EXPECT_EQ(Load("Driver=no-such-driver.exe\r\n").driverPath, L"");
  // Folders exist but cannot be started.
  EXPECT_EQ(Load("Driver=.\r\n").driverPath, L"");
  EXPECT_EQ(Load("Driver=..\r\n").driverPath, L"");
  const std::wstring folder = dir_ + L"quill-driver-folder.exe";
  CreateDirectoryW(folder.c_str(), nullptr);
  EXPECT_EQ(Load("Driver=quill-driver-folder.exe\r\n").driverPath, L"");
  RemoveDirectoryW(folder.c_str());
  // An absolute path is still joined to the folder, so it names nothing.
  Place(L"quill-abs-driver.exe");
  std::string absolute = GetSysUtil()->WideToAnsi((dir_ + L"quill-abs-driver.exe").c_str());
  EXPECT_EQ(Load("Driver=" + absolute + "\r\n").driverPath, L"");
  // Parameters above the Driver line are taken as the driver's path.
  Place(L"setup.exe");
  SetupSettings swapped = Load("DriverParams=/S\r\nDriver=setup.exe\r\n");
  EXPECT_EQ(swapped.driverPath, L"");
  EXPECT_EQ(swapped.driverParams, L"/S");
}

TEST_F(ConfigFile, LastLineCountsOnlyWithItsLineEnd) {
  EXPECT_EQ(Load("Channel=web\r\nMediaPlayer=1").mediaPlayer, 0);
  EXPECT_EQ(Load("Channel=web\r\nMediaPlayer=1\r\n").mediaPlayer, 1);
  EXPECT_EQ(Load("OverSea=01\n").overSea, 1);  // bare LF line ends work too
  EXPECT_EQ(Load("OverSea=2\r\n").overSea, 0);
}

TEST_F(ConfigFile, Utf16FileIsReadOnlyWhenItsFirstByteIsZero) {
  // U+3000 (ideographic space) has a zero low byte, so this file is UTF-16;
  // its Chinese value must arrive intact.
  std::wstring text = L"\u3000SetupBigPackage=/sdcard/\u624b\u673a/setup.exe\r\nChannel=web\r\n";
  std::string bytes(reinterpret_cast<const char*>(text.data()), text.size() * 2);
  SetupSettings wide = Load(bytes);
  EXPECT_EQ(wide.setupBigPackage, L"/sdcard/\u624b\u673a/setup.exe");
  EXPECT_EQ(wide.channel, L"web");

  // With a byte-order mark (or an ASCII first character) the file reads as
  // ANSI and ends at its first zero byte: nothing is found.
  std::wstring bomText = L"\ufeffChannel=web\r\nMediaPlayer=1\r\n";
  SetupSettings bom =
      Load(std::string(reinterpret_cast<const char*>(bomText.data()), bomText.size() * 2));
  ExpectDefaults(bom);
}

TEST_F(ConfigFile, Utf8FileWithByteOrderMarkIsReadAsAnsi) {
  std::string value = "/sdcard/\xe6\x89\x8b\xe6\x9c\xba.exe";  // UTF-8 bytes of a Chinese name
  SetupSettings settings = Load(
      "\xef\xbb\xbf"
      "Channel=web\r\nSetupBigPackage=" +
      value + "\r\n");
  EXPECT_EQ(settings.channel, L"web");
  // The bytes go through the system code page, not through UTF-8.
  EXPECT_EQ(settings.setupBigPackage, GetSysUtil()->AnsiToWide(value.c_str()));
}

TEST_F(ConfigFile, OversizedFileIsIgnoredLikeAMissingOne) {
  std::string bytes = "Channel=web\r\nMediaPlayer=1\r\n";
  bytes.resize(2 * 1024 * 1024, ' ');
  SetupSettings settings = Load(bytes);
  ExpectDefaults(settings);
  EXPECT_EQ(settings.moduleDir, dir_);
}

TEST_F(ConfigFile, FileHeldOpenForWritingIsIgnored) {
  ASSERT_TRUE(WriteFileBytes(path_, "Channel=web\r\n"));
  HANDLE writer = CreateFileW(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  // Reading shares only reading, so an open writer keeps the file from us.
  EXPECT_EQ(LoadFresh().channel, L"");
  CloseHandle(writer);
  EXPECT_EQ(LoadFresh().channel, L"web");
}

}  // namespace
}  // namespace rerozadez
