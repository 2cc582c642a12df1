#include "platform/diagnostic_log.h"

#include <gtest/gtest.h>
#include <process.h>

#include <regex>
#include <sstream>

#include "tests/support/test_files.h"

namespace rerozadez {
namespace {

using quilltest::ReadFileBytes;

// The lines of a log file, without the UTF-8 mark and the line ends.
std::vector<std::string> LinesOf(const std::wstring& path) {
  std::string text = ReadFileBytes(path);
  EXPECT_EQ(text.compare(0, 3, "\xEF\xBB\xBF"), 0);
  std::istringstream stream(text.substr(3));
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(stream, line)) {
    EXPECT_EQ(line.back(), '\r');
    lines.push_back(line.substr(0, line.size() - 1));
  }
  return lines;
}

const std::regex kStampedLine(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[\d+\] (.*))");

TEST(DiagnosticLog, ReplacesTheEarlierRunsLogAndStampsEachUtf8Line) {
  quilltest::ScratchDir dir;
  const std::wstring path = dir.File(L"run.log");
  ASSERT_TRUE(quilltest::WriteFileBytes(path, "the earlier run\r\n"));
  DiagnosticLog log;
  ASSERT_TRUE(log.Open(path));
  log.Write("first");
  log.Write(("\xe5\xae\x89\xe8\xa3\x85 " + LogText(L"\u5b89\u88c5")).c_str());
  log.Close();
  log.Write("after closing");
  const std::vector<std::string> lines = LinesOf(path);
  ASSERT_EQ(lines.size(), 2u);
  std::smatch match;
  ASSERT_TRUE(std::regex_match(lines[0], match, kStampedLine)) << lines[0];
  EXPECT_EQ(match[1], "first");
  ASSERT_TRUE(std::regex_match(lines[1], match, kStampedLine)) << lines[1];
  EXPECT_EQ(match[1], "\xe5\xae\x89\xe8\xa3\x85 \xe5\xae\x89\xe8\xa3\x85");
}

// Past its bound the log keeps its head, says it was cut, and takes no more.
TEST(DiagnosticLog, StopsAtItsBoundSayingSo) {
  quilltest::ScratchDir dir;
  const std::wstring path = dir.File(L"run.log");
  DiagnosticLog log;
  ASSERT_TRUE(log.Open(path, 4096));
  for (int i = 0; i < 1000; ++i)
    log.Write(("line " + std::to_string(i)).c_str());
  EXPECT_LE(ReadFileBytes(path).size(), 4096u);
  const std::vector<std::string> lines = LinesOf(path);
  ASSERT_GT(lines.size(), 50u);
  EXPECT_NE(lines.front().find("] line 0"), std::string::npos);
  EXPECT_NE(lines.back().find("log cut here"), std::string::npos);
  EXPECT_NE(lines[lines.size() - 2].find("] line " + std::to_string(lines.size() - 2)),
            std::string::npos);
}

unsigned __stdcall WriteLines(void* tag) {
  for (int i = 0; i < 400; ++i)
    LogLine("thread %s line %d of a text long enough to be written in more than one piece",
            static_cast<const char*>(tag), i);
  return 0;
}

TEST(DiagnosticLog, LinesOfTwoThreadsNeverMix) {
  quilltest::ScratchDir dir;
  ASSERT_TRUE(GetDiagnosticLog()->Open(dir.File(L"run.log")));
  HANDLE threads[] = {
      reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &WriteLines, (void*)"a", 0, nullptr)),
      reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &WriteLines, (void*)"b", 0, nullptr))};
  WaitForMultipleObjects(2, threads, TRUE, 30000);
  CloseHandle(threads[0]);
  CloseHandle(threads[1]);
  GetDiagnosticLog()->Close();
  const std::vector<std::string> lines = LinesOf(dir.File(L"run.log"));
  ASSERT_EQ(lines.size(), 800u);
  const std::regex whole(R"(.* \[\d+\] thread [ab] line \d+ of a text long enough .* piece)");
  for (const std::string& line : lines)
    EXPECT_TRUE(std::regex_match(line, whole)) << line;
}

}  // namespace
}  // namespace rerozadez
