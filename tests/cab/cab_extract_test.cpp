#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cab/cab_extract.h"
#include "platform/diagnostic_log.h"
#include "tests/cab/cab_test_support.h"
#include "tests/support/test_files.h"

namespace cab {
namespace {

using quilltest::FileExists;
using quilltest::ReadFileBytes;
using quilltest::ScratchDir;
using quilltest::WriteFileBytes;
using rerozadez::CodeKind;
using rerozadez::DescribeStatus;
using rerozadez::Status;
using rerozadez::StatusStep;

// 2015-04-29 10:46:52 as a cabinet stores it (DOS date and time, local).
const uint16_t kDosDate = ((2015 - 1980) << 9) | (4 << 5) | 29;
const uint16_t kDosTime = (10 << 11) | (46 << 5) | (52 / 2);

// --- Cabinets written byte for byte -----------------------------------------

struct StoredFile {
  std::string name;
  std::string content;
  uint16_t attributes = FILE_ATTRIBUTE_ARCHIVE;
};

enum class Packing { kStored, kMszip };

void Put16(std::string* out, uint32_t value) {
  out->push_back(static_cast<char>(value & 0xFF));
  out->push_back(static_cast<char>((value >> 8) & 0xFF));
}

void Put32(std::string* out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

uint32_t Get32(const std::string& bytes, size_t offset) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data()) + offset;
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void Set32(std::string* bytes, size_t offset, uint32_t value) {
  std::string encoded;
  Put32(&encoded, value);
  bytes->replace(offset, 4, encoded);
}

// A one-folder cabinet. MSZIP blocks hold deflate "stored" blocks, which
// any MSZIP reader must accept. nextCabinet, when given, is named in the
// header as the next cabinet of the set.
std::string WriteCabinet(const std::vector<StoredFile>& files, Packing packing,
                         const std::string& nextCabinet = std::string()) {
  std::string data;
  for (const StoredFile& file : files) {
    data += file.content;
  }
  std::string blocks;
  uint32_t blockCount = 0;
  for (size_t offset = 0; offset < data.size(); offset += 32768, ++blockCount) {
    std::string chunk = data.substr(offset, 32768);
    std::string payload = chunk;
    if (packing == Packing::kMszip) {
      payload = "CK";
      payload.push_back('\x01');  // final block, stored
      Put16(&payload, static_cast<uint32_t>(chunk.size()));
      Put16(&payload, static_cast<uint32_t>(~chunk.size() & 0xFFFF));
      payload += chunk;
    }
    Put32(&blocks, 0);  // no checksum
    Put16(&blocks, static_cast<uint32_t>(payload.size()));
    Put16(&blocks, static_cast<uint32_t>(chunk.size()));
    blocks += payload;
  }
  std::string names;
  if (!nextCabinet.empty()) {
    names = nextCabinet + std::string(1, '\0') + "Disk 1" + std::string(1, '\0');
  }
  std::string entries;
  uint32_t offsetInFolder = 0;
  for (const StoredFile& file : files) {
    Put32(&entries, static_cast<uint32_t>(file.content.size()));
    Put32(&entries, offsetInFolder);
    Put16(&entries, 0);
    Put16(&entries, kDosDate);
    Put16(&entries, kDosTime);
    Put16(&entries, file.attributes);
    entries += file.name + std::string(1, '\0');
    offsetInFolder += static_cast<uint32_t>(file.content.size());
  }
  const uint32_t filesOffset = 36 + static_cast<uint32_t>(names.size()) + 8;
  const uint32_t dataOffset = filesOffset + static_cast<uint32_t>(entries.size());
  std::string cabinet = "MSCF";
  Put32(&cabinet, 0);
  Put32(&cabinet, dataOffset + static_cast<uint32_t>(blocks.size()));
  Put32(&cabinet, 0);
  Put32(&cabinet, filesOffset);
  Put32(&cabinet, 0);
  cabinet += "\x03\x01";  // version 1.3
  Put16(&cabinet, 1);     // folders
  Put16(&cabinet, static_cast<uint32_t>(files.size()));
  Put16(&cabinet, nextCabinet.empty() ? 0 : 2);  // cfhdrNEXT_CABINET
  Put16(&cabinet, 0x1234);                       // set id
  Put16(&cabinet, 0);                            // number in the set
  cabinet += names;
  Put32(&cabinet, dataOffset);
  Put16(&cabinet, blockCount);
  Put16(&cabinet, packing == Packing::kMszip ? 1 : 0);
  return cabinet + entries + blocks;
}

// gcab's cabinets, edited: a stored name replaced by one of the same length
// (names are not covered by any checksum), or a next cabinet named in the
// header (everything after the header moves, so the offsets move too).
std::string ReplaceName(std::string cabinet, const std::string& from, const std::string& to) {
  size_t at = cabinet.find(from + std::string(1, '\0'));
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) {
    cabinet.replace(at, to.size(), to);
  }
  return cabinet;
}

std::string WithNextCabinet(std::string cabinet, const std::string& next) {
  const std::string names = next + std::string(1, '\0') + "Disk 1" + std::string(1, '\0');
  const uint32_t shift = static_cast<uint32_t>(names.size());
  const uint16_t folders = static_cast<uint8_t>(cabinet[0x1A]) | static_cast<uint8_t>(cabinet[0x1B])
                                                                     << 8;
  cabinet.insert(36, names);
  Set32(&cabinet, 0x08, Get32(cabinet, 0x08) + shift);
  Set32(&cabinet, 0x10, Get32(cabinet, 0x10) + shift);
  for (uint16_t folder = 0; folder < folders; ++folder) {
    size_t at = 36 + shift + 8u * folder;
    Set32(&cabinet, at, Get32(cabinet, at) + shift);
  }
  cabinet[0x1E] = static_cast<char>(cabinet[0x1E] | 2);
  return cabinet;
}

std::string WithoutFiles(std::string cabinet) {
  cabinet[0x1C] = 0;
  cabinet[0x1D] = 0;
  return cabinet;
}

// --- Checks on what came out ------------------------------------------------

DWORD Attributes(const std::wstring& path) {
  return GetFileAttributesW(path.c_str());
}

// The file's creation and last-write time as local date and time, as
// Explorer would show them.
struct LocalTimes {
  SYSTEMTIME created, written;
};

LocalTimes ReadLocalTimes(const std::wstring& path) {
  LocalTimes times = {};
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  EXPECT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data));
  FILETIME local;
  FileTimeToLocalFileTime(&data.ftCreationTime, &local);
  FileTimeToSystemTime(&local, &times.created);
  FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
  FileTimeToSystemTime(&local, &times.written);
  return times;
}

std::string Format(const SYSTEMTIME& time) {
  char text[32];
  snprintf(text, sizeof(text), "%04u-%02u-%02u %02u:%02u:%02u", time.wYear, time.wMonth, time.wDay,
           time.wHour, time.wMinute, time.wSecond);
  return text;
}

void ExpectCabinetTime(const std::wstring& path) {
  LocalTimes times = ReadLocalTimes(path);
  EXPECT_EQ(Format(times.written), "2015-04-29 10:46:52");
  EXPECT_EQ(Format(times.created), "2015-04-29 10:46:52");
}

// Names in a folder, sub-folders marked with a closing backslash.
std::vector<std::wstring> ListFolder(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) {
    return names;
  }
  do {
    std::wstring name = entry.cFileName;
    if (name != L"." && name != L"..") {
      names.push_back(name + ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? L"\\" : L""));
    }
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  std::sort(names.begin(), names.end());
  return names;
}

const wchar_t* const kBridgeFiles[] = {L"adb.exe", L"AdbWinApi.dll", L"AdbWinUsbApi.dll"};

// --- Names and folders ------------------------------------------------------

TEST(CabinetNames, PlainAndNestedRelativeNamesAreWritten) {
  for (const wchar_t* name :
       {L"adb.exe", L"AdbWinUsbApi.dll", L"sub\\deeper\\file.bin", L"sub/file.txt", L"..data",
        L"a..b\\c", L"\u5b89\u88c5.exe", L"CONFIG.SYS", L"com10.txt", L"lpt.txt"}) {
    EXPECT_TRUE(IsSafeCabinetName(name)) << name;
  }
}

TEST(CabinetNames, NamesLeavingTheFolderAreRefused) {
  for (const wchar_t* name :
       {L"", L"..", L"..\\adb.exe", L"sub\\..\\..\\adb.exe", L"../adb.exe", L"sub/../../x",
        L"\\Windows\\adb.exe", L"/etc/passwd", L"\\\\server\\share\\x", L"C:\\adb.exe",
        L"C:adb.exe", L"adb.exe:stream", L"sub\\x:$DATA", L"...\\x", L".. \\x", L". \\x", L".\\x",
        L"sub\\", L"sub\\\\x"}) {
    EXPECT_FALSE(IsSafeCabinetName(name)) << name;
  }
}

TEST(CabinetNames, DevicesAndForbiddenCharactersAreRefused) {
  for (const wchar_t* name :
       {L"CON", L"nul.txt", L"sub\\aux", L"Com1.log", L"LPT9", L"prn .x", L"CONOUT$", L"a?b",
        L"a*b", L"a|b", L"a<b", L"a>b", L"a\"b", L"tab\there", L"line\nbreak"}) {
    EXPECT_FALSE(IsSafeCabinetName(name)) << name;
  }
}

TEST(MakeDirectories, CreatesEveryMissingLevelAndPassesOverExistingOnes) {
  ScratchDir dir;
  EXPECT_TRUE(MakeDirectories(dir.File(L"a\\b\\c\\")));
  EXPECT_TRUE(Attributes(dir.File(L"a\\b\\c")) & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_TRUE(MakeDirectories(dir.File(L"a\\b\\d")));  // no closing backslash
  EXPECT_TRUE(Attributes(dir.File(L"a\\b\\d")) & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_TRUE(MakeDirectories(dir.File(L"a\\b\\")));
}

TEST(MakeDirectories, AFileInTheWayFails) {
  ScratchDir dir;
  ASSERT_TRUE(WriteFileBytes(dir.File(L"plain"), "x"));
  EXPECT_FALSE(MakeDirectories(dir.File(L"plain\\sub\\")));
  EXPECT_EQ(ReadFileBytes(dir.File(L"plain")), "x");
}

TEST(MakeDirectories, ShareRootIsNotCreated) {
  // Nothing to make under \\server\share itself, and no network is touched.
  EXPECT_TRUE(MakeDirectories(L"\\\\nohost-quilltest\\share\\"));
  EXPECT_TRUE(MakeDirectories(L"\\\\nohost-quilltest"));
}

// --- The carried cabinet ----------------------------------------------------

class CarriedCabinet : public ::testing::Test {
 protected:
  void SetUp() override {
    cabinet_ = dir_.File(L"res.cab");
    ASSERT_TRUE(CopyFileW(quilltest::BridgeCabinetPath().c_str(), cabinet_.c_str(), FALSE));
  }

  void ExpectBridgeFilesIn(const std::wstring& folder) {
    for (const wchar_t* name : kBridgeFiles) {
      std::wstring path = folder + L"\\" + name;
      ASSERT_TRUE(FileExists(path)) << path;
      EXPECT_EQ(ReadFileBytes(path), ReadFileBytes(quilltest::PackedBridgeFile(name))) << name;
      EXPECT_EQ(Attributes(path), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE)) << name;
      ExpectCabinetTime(path);
    }
  }

  ScratchDir dir_;
  std::wstring cabinet_;
};

TEST_F(CarriedCabinet, UnpacksIntoAnEmptyFolderWithItsTimesAndAttributes) {
  std::wstring target = dir_.File(L"empty");
  ASSERT_TRUE(CreateDirectoryW(target.c_str(), nullptr));
  CCabExtract extractor;
  EXPECT_EQ(DescribeStatus(extractor.ExtractAll(cabinet_, target + L"\\")), "success");
  ExpectBridgeFilesIn(target);
  EXPECT_EQ(ListFolder(target),
            (std::vector<std::wstring>{L"AdbWinApi.dll", L"AdbWinUsbApi.dll", L"adb.exe"}));
  // Pass 2 takes the last file's name as a cabinet; it is not there.
  ASSERT_NE(extractor.Context(), nullptr);
  EXPECT_EQ(extractor.Context()->passCount, 2);
}

TEST_F(CarriedCabinet, UnpacksBesideItselfAndEndsAfterTwoPasses) {
  // As the deployment does it: pass 2 finds the extracted AdbWinUsbApi.dll,
  // which is no cabinet.
  CCabExtract extractor;
  EXPECT_EQ(DescribeStatus(extractor.ExtractAll(cabinet_, dir_.Path() + L"\\")), "success");
  ExpectBridgeFilesIn(dir_.Path());
  EXPECT_EQ(extractor.Context()->passCount, 2);
}

TEST_F(CarriedCabinet, FolderWithoutClosingBackslashGetsOneBeforeTheName) {
  std::wstring target = dir_.File(L"dest");
  CCabExtract extractor;
  EXPECT_EQ(DescribeStatus(extractor.ExtractAll(cabinet_, target)), "success");
  ExpectBridgeFilesIn(target);
  EXPECT_FALSE(FileExists(dir_.File(L"destadb.exe")));
}

TEST_F(CarriedCabinet, ReplacesReadOnlyAndLongerTargets) {
  std::wstring readOnly = dir_.File(L"adb.exe");
  std::wstring longer = dir_.File(L"AdbWinApi.dll");
  ASSERT_TRUE(WriteFileBytes(readOnly, "old tool"));
  ASSERT_TRUE(SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(WriteFileBytes(longer, std::string(2 * 1024 * 1024, 'L')));
  CCabExtract extractor;
  EXPECT_EQ(DescribeStatus(extractor.ExtractAll(cabinet_, dir_.Path())), "success");
  ExpectBridgeFilesIn(dir_.Path());  // exact bytes, archive only, cabinet time
}

TEST_F(CarriedCabinet, FolderOrFileThatCannotBeMadeIsTheFailure) {
  ASSERT_TRUE(WriteFileBytes(dir_.File(L"plain"), "a file where a folder should be"));
  CCabExtract extractor;
  Status status = extractor.ExtractAll(cabinet_, dir_.File(L"plain\\sub"));
  EXPECT_EQ(status.step, StatusStep::kCabinetMakeFolder);
  EXPECT_EQ(status.code, static_cast<unsigned long>(ERROR_PATH_NOT_FOUND));

  // A tool file held open without sharing: the others still come out.
  ASSERT_TRUE(CreateDirectoryW(dir_.File(L"out").c_str(), nullptr));
  HANDLE held = CreateFileW(dir_.File(L"out\\adb.exe").c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  status = extractor.ExtractAll(cabinet_, dir_.File(L"out"));
  CloseHandle(held);
  EXPECT_EQ(status.step, StatusStep::kCabinetCreateFile);
  EXPECT_EQ(status.code, static_cast<unsigned long>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(status.detail, rerozadez::LogText(dir_.File(L"out\\adb.exe")));
  EXPECT_EQ(ReadFileBytes(dir_.File(L"out\\AdbWinApi.dll")),
            ReadFileBytes(quilltest::PackedBridgeFile(L"AdbWinApi.dll")));
}

TEST_F(CarriedCabinet, ExtractingAgainReplacesTheContext) {
  CCabExtract extractor;
  ASSERT_EQ(DescribeStatus(extractor.ExtractAll(cabinet_, dir_.File(L"one"))), "success");
  ASSERT_TRUE(WriteFileBytes(dir_.File(L"text.cab"), "MSCF? no, just text\r\n"));
  EXPECT_EQ(extractor.ExtractAll(dir_.File(L"text.cab"), dir_.File(L"two")).step,
            StatusStep::kCabinetNotACabinet);
  EXPECT_EQ(extractor.Context(), nullptr);
  EXPECT_EQ(DescribeStatus(extractor.ExtractAll(cabinet_, dir_.File(L"three"))), "success");
  ExpectBridgeFilesIn(dir_.File(L"three"));
}

// --- Files that are no cabinets ---------------------------------------------

TEST(NotACabinet, TextFileMissingFileAndTruncatedCabinetSayWhyAndWriteNothing) {
  ScratchDir dir;
  std::wstring out = dir.File(L"out");
  ASSERT_TRUE(WriteFileBytes(dir.File(L"readme.txt"), "This is a text file, not a cabinet.\r\n"));
  std::string carried = ReadFileBytes(quilltest::BridgeCabinetPath());
  ASSERT_GT(carried.size(), 100u);
  ASSERT_TRUE(WriteFileBytes(dir.File(L"header-only.cab"), carried.substr(0, 20)));
  const struct {
    std::wstring path;
    StatusStep step;
    unsigned long code;
  } cases[] = {
      {dir.File(L"readme.txt"), StatusStep::kCabinetNotACabinet, 0},
      {dir.File(L"missing.cab"), StatusStep::kCabinetOpen, ERROR_FILE_NOT_FOUND},
      {dir.File(L"header-only.cab"), StatusStep::kCabinetNotACabinet, 0},
      {dir.Path(), StatusStep::kCabinetOpen, ERROR_ACCESS_DENIED},  // a folder
  };
  for (const auto& c : cases) {
    CCabExtract extractor;
    const Status status = extractor.ExtractAll(c.path, out);
    EXPECT_EQ(status.step, c.step) << c.path;
    EXPECT_EQ(status.code, c.code) << c.path;
    EXPECT_EQ(extractor.Context(), nullptr);
  }
  EXPECT_FALSE(FileExists(out));
}

TEST(NotACabinet, CorruptDataEndsThePassWithFdisErrorButKeepsEarlierFiles) {
  ScratchDir dir;
  // Two MSZIP cabinets of the same files; in one the second block's deflate
  // header is damaged (block type 3 does not exist).
  std::vector<StoredFile> files = {{"first.bin", std::string(32768, 'a')},
                                   {"second.bin", std::string(1000, 'b')}};
  std::string cabinet = WriteCabinet(files, Packing::kMszip);
  size_t second = cabinet.find("CK", cabinet.find("CK") + 1);
  ASSERT_NE(second, std::string::npos);
  cabinet[second + 2] = '\x07';
  ASSERT_TRUE(WriteFileBytes(dir.File(L"broken.cab"), cabinet));
  CCabExtract extractor;
  const Status status = extractor.ExtractAll(dir.File(L"broken.cab"), dir.File(L"out"));
  EXPECT_EQ(status.step, StatusStep::kCabinetCopy);
  EXPECT_EQ(status.codeKind, CodeKind::kFdi);
  EXPECT_EQ(status.code, static_cast<unsigned long>(FDIERROR_CORRUPT_CABINET));
  EXPECT_EQ(ReadFileBytes(dir.File(L"out\\first.bin")), files[0].content);
  EXPECT_NE(ReadFileBytes(dir.File(L"out\\second.bin")), files[1].content);
  EXPECT_EQ(extractor.Context()->passCount, 1);
}

// --- Sub-folders, attributes, times -----------------------------------------

TEST(CabinetContents, GcabSubFoldersAreCreatedUnderTheDestination) {
  ScratchDir dir;
  CCabExtract extractor;
  EXPECT_EQ(DescribeStatus(
                extractor.ExtractAll(quilltest::TestCabinetFile(L"nested.cab"), dir.File(L"out"))),
            "success");
  EXPECT_EQ(ReadFileBytes(dir.File(L"out\\top.txt")),
            ReadFileBytes(quilltest::TestCabinetFile(L"inputs\\top.txt")));
  std::string deeper = ReadFileBytes(dir.File(L"out\\aa\\sub\\deeper.bin"));
  EXPECT_EQ(deeper.size(), 204894u);
  EXPECT_EQ(deeper, ReadFileBytes(quilltest::TestCabinetFile(L"inputs\\aa\\sub\\deeper.bin")));
  ExpectCabinetTime(dir.File(L"out\\aa\\sub\\deeper.bin"));
}

TEST(CabinetContents, StoredAttributesAreKeptExceptExecuteAndReadOnlyFilesStillGetTheirTimes) {
  ScratchDir dir;
  const uint16_t kExecute = 0x40;
  std::vector<StoredFile> files = {
      {"plain.txt", "plain", 0},
      {"locked.txt", "locked", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE},
      {"tool.exe", "tool", FILE_ATTRIBUTE_ARCHIVE | kExecute},
      {"sub\\hidden.sys", "hidden", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM}};
  ASSERT_TRUE(WriteFileBytes(dir.File(L"attrs.cab"), WriteCabinet(files, Packing::kStored)));
  CCabExtract extractor;
  EXPECT_EQ(DescribeStatus(extractor.ExtractAll(dir.File(L"attrs.cab"), dir.File(L"out"))),
            "success");
  EXPECT_EQ(ReadFileBytes(dir.File(L"out\\locked.txt")), "locked");
  EXPECT_EQ(Attributes(dir.File(L"out\\locked.txt")),
            static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
  ExpectCabinetTime(dir.File(L"out\\locked.txt"));
  EXPECT_EQ(Attributes(dir.File(L"out\\tool.exe")), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_FALSE(Attributes(dir.File(L"out\\plain.txt")) & FILE_ATTRIBUTE_READONLY);
  DWORD hidden = Attributes(dir.File(L"out\\sub\\hidden.sys"));
  ASSERT_NE(hidden, INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(hidden & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY),
            static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
}

TEST(CabinetContents, SeveralBlocksInBothPackingsComeOutByteForByte) {
  ScratchDir dir;
  std::string big;
  for (int i = 0; i < 100000; ++i) {
    big.push_back(static_cast<char>((i * 7919) >> 3));
  }
  std::vector<StoredFile> files = {{"big.bin", big}, {"small.txt", "small"}};
  for (Packing packing : {Packing::kStored, Packing::kMszip}) {
    ASSERT_TRUE(WriteFileBytes(dir.File(L"blocks.cab"), WriteCabinet(files, packing)));
    std::wstring out = dir.File(packing == Packing::kStored ? L"stored" : L"mszip");
    CCabExtract extractor;
    EXPECT_EQ(DescribeStatus(extractor.ExtractAll(dir.File(L"blocks.cab"), out)), "success");
    EXPECT_EQ(ReadFileBytes(out + L"\\big.bin"), big);
    EXPECT_EQ(ReadFileBytes(out + L"\\small.txt"), "small");
  }
}

// Runs Wine's (or Windows') own cabarc.exe in folder; its exit code.
DWORD RunCabarc(const std::wstring& folder, const std::wstring& arguments) {
  std::wstring commandLine = L"cabarc.exe " + arguments;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                      folder.c_str(), &startup, &process)) {
    return 0xFFFF;
  }
  WaitForSingleObject(process.hProcess, 60000);
  DWORD exitCode = 0xFFFF;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return exitCode;
}

// FDI follows a file continued into the next cabinets of a set by itself,
// through the next-cabinet notification. (Files that begin in a later
// cabinet are not reached: the closing notifications replace the recorded
// next cabinet with the file names, and the carried cabinet relies on that.)
TEST(CabinetSet, FileContinuedIntoTheNextCabinetsComesOutWhole) {
  ScratchDir dir;
  std::string big(150000, '\0');
  uint32_t state = 2463534242u;
  for (char& c : big) {  // next to incompressible, so it spans three cabinets
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    c = static_cast<char>(state);
  }
  ASSERT_TRUE(WriteFileBytes(dir.File(L"big.bin"), big));
  ASSERT_TRUE(WriteFileBytes(dir.File(L"locked.txt"), "locked"));
  ASSERT_TRUE(SetFileAttributesW(dir.File(L"locked.txt").c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_EQ(RunCabarc(dir.Path(), L"-m mszip -d 60000 N span*.cab locked.txt big.bin"), 0u);
  ASSERT_TRUE(FileExists(dir.File(L"span2.cab")));
  std::wstring out = dir.File(L"out");
  CCabExtract extractor;
  EXPECT_EQ(DescribeStatus(extractor.ExtractAll(dir.File(L"span1.cab"), out)), "success");
  EXPECT_EQ(ReadFileBytes(out + L"\\big.bin"), big);
  EXPECT_EQ(ReadFileBytes(out + L"\\locked.txt"), "locked");
  EXPECT_TRUE(Attributes(out + L"\\locked.txt") & FILE_ATTRIBUTE_READONLY);
}

// --- Hostile cabinets -------------------------------------------------------

// Every hostile name, and where a careless extractor would have written it
// (relative to the scratch folder; the destination is <scratch>\deep\out).
class HostileCabinet : public ::testing::Test {
 protected:
  void ExpectOnlyKeptFileWritten() {
    EXPECT_EQ(ListFolder(dir_.File(L"deep\\out")), std::vector<std::wstring>{L"kept.txt"});
    EXPECT_EQ(ReadFileBytes(dir_.File(L"deep\\out\\kept.txt")), "kept\n");
    EXPECT_EQ(ListFolder(dir_.File(L"deep")), std::vector<std::wstring>{L"out\\"});
    EXPECT_FALSE(FileExists(dir_.File(L"climb.txt")));
    EXPECT_FALSE(FileExists(L"C:\\drive.txt"));
    EXPECT_FALSE(FileExists(L"\\r\\rooted.txt"));
  }

  ScratchDir dir_;
};

TEST_F(HostileCabinet, HandWrittenNamesOutsideTheFolderAreSkippedOthersWritten) {
  for (Packing packing : {Packing::kStored, Packing::kMszip}) {
    std::vector<StoredFile> files = {{"..\\climb.txt", "x"},
                                     {"..\\..\\climb.txt", "x"},
                                     {"c:\\drive.txt", "x"},
                                     {"\\r\\rooted.txt", "x"},
                                     {"kept.txt", "kept\n"},
                                     {"kept.txt:stream", "x"},
                                     {"sub\\..\\..\\climb.txt", "x"},
                                     {"CON", "x"},
                                     {"../climb.txt", "x"}};
    ASSERT_TRUE(WriteFileBytes(dir_.File(L"hostile.cab"), WriteCabinet(files, packing)));
    CCabExtract extractor;
    EXPECT_EQ(
        DescribeStatus(extractor.ExtractAll(dir_.File(L"hostile.cab"), dir_.File(L"deep\\out"))),
        "success");
    ExpectOnlyKeptFileWritten();
    quilltest::RemoveTree(dir_.File(L"deep"));
  }
}

TEST_F(HostileCabinet, GcabMszipCabinetWithPatchedNamesIsSkippedOthersWritten) {
  std::string cabinet = ReadFileBytes(quilltest::TestCabinetFile(L"hostile.cab"));
  ASSERT_FALSE(cabinet.empty());
  cabinet = ReplaceName(cabinet, "dd\\climb.txt", "..\\climb.txt");
  cabinet = ReplaceName(cabinet, "c_\\drive.txt", "c:\\drive.txt");
  cabinet = ReplaceName(cabinet, "_r\\rooted.txt", "\\r\\rooted.txt");
  cabinet = ReplaceName(cabinet, "ss_stream.txt", "ss:stream.txt");
  ASSERT_TRUE(WriteFileBytes(dir_.File(L"hostile.cab"), cabinet));
  CCabExtract extractor;
  EXPECT_EQ(
      DescribeStatus(extractor.ExtractAll(dir_.File(L"hostile.cab"), dir_.File(L"deep\\out"))),
      "success");
  ExpectOnlyKeptFileWritten();
}

// Runs ExtractAll on its own thread (the context slot is per thread) and
// gives up waiting after a while, so a looping extractor fails the test
// instead of hanging the run.
bool ExtractWithin(CCabExtract* extractor, const std::wstring& cabinet, const std::wstring& out,
                   DWORD timeoutMs, Status* result) {
  struct Job {
    CCabExtract* extractor;
    std::wstring cabinet, out;
    Status result;
  };
  Job* job = new Job{extractor, cabinet, out, Status::Failed(StatusStep::kCabinetCopy)};
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](void* parameter) -> DWORD {
        Job* job = static_cast<Job*>(parameter);
        job->result = job->extractor->ExtractAll(job->cabinet, job->out);
        return 0;
      },
      job, 0, nullptr);
  bool finished = WaitForSingleObject(thread, timeoutMs) == WAIT_OBJECT_0;
  if (!finished) {
    // It would go on using the extractor after the test has given up on it.
    TerminateThread(thread, 1);
    WaitForSingleObject(thread, INFINITE);
  }
  CloseHandle(thread);
  *result = job->result;
  delete job;
  return finished;
}

TEST(SelfNamingCabinet, CabinetWithoutFilesNamingItselfStopsAtThePassBound) {
  ScratchDir dir;
  ASSERT_TRUE(
      WriteFileBytes(dir.File(L"self.cab"), WriteCabinet({}, Packing::kStored, "self.cab")));
  CCabExtract extractor;
  Status result;
  ASSERT_TRUE(ExtractWithin(&extractor, dir.File(L"self.cab"), dir.File(L"out"), 60000, &result));
  EXPECT_EQ(DescribeStatus(result), "success");
  EXPECT_EQ(extractor.Context()->passCount, kMaxCabinetPasses);
  EXPECT_EQ(extractor.Context()->recordedName, L"self.cab");
}

TEST(SelfNamingCabinet, GcabCabinetNamingItselfStopsToo) {
  ScratchDir dir;
  std::string nested = ReadFileBytes(quilltest::TestCabinetFile(L"nested.cab"));
  ASSERT_FALSE(nested.empty());
  // With its files the closing notifications take over the recorded name,
  // so the second pass looks for "aa\sub\deeper.bin" beside the cabinet.
  ASSERT_TRUE(WriteFileBytes(dir.File(L"loop.cab"), WithNextCabinet(nested, "loop.cab")));
  CCabExtract extractor;
  Status result;
  ASSERT_TRUE(ExtractWithin(&extractor, dir.File(L"loop.cab"), dir.File(L"out"), 60000, &result));
  EXPECT_EQ(DescribeStatus(result), "success");
  EXPECT_EQ(extractor.Context()->passCount, 2);
  EXPECT_EQ(ReadFileBytes(dir.File(L"out\\aa\\sub\\deeper.bin")),
            ReadFileBytes(quilltest::TestCabinetFile(L"inputs\\aa\\sub\\deeper.bin")));
  // Without files nothing replaces the name: only the bound ends it.
  ASSERT_TRUE(
      WriteFileBytes(dir.File(L"empty.cab"), WithoutFiles(WithNextCabinet(nested, "empty.cab"))));
  ASSERT_TRUE(ExtractWithin(&extractor, dir.File(L"empty.cab"), dir.File(L"out2"), 60000, &result));
  EXPECT_EQ(DescribeStatus(result), "success");
  EXPECT_EQ(extractor.Context()->passCount, kMaxCabinetPasses);
  EXPECT_FALSE(FileExists(dir.File(L"out2")));
}

}  // namespace
}  // namespace cab
