#include "platform/diagnostic_log.h"

#include <gtest/gtest.h>
#include <process.h>

#include <regex>
#include <sstream>

#include "tests/support/test_files.h"

namespace rerozadez {
namespace {

// A log file's lines without the UTF-8 mark; each must end with CR LF and
// start with the time and the thread.
std::vector<std::string> TextsOf(const std::wstring& path) {
  const std::string text = quilltest::ReadFileBytes(path);
  EXPECT_EQ(text.compare(0, 3, "\xEF\xBB\xBF"), 0);
  const std::regex stamped(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[\d+\] (.*)\r)");
  std::istringstream stream(text.substr(3));
  std::vector<std::string> texts;
  std::smatch match;
  for (std::string line; std::getline(stream, line);) {
    EXPECT_TRUE(std::regex_match(line, match, stamped)) << line;
    texts.push_back(match[1]);
  }
  return texts;
}

TEST(DiagnosticLog, ReplacesTheEarlierLogKeepsUtf8AndLinesWholeAndStopsAtItsBound) {
  quilltest::ScratchDir dir;
  const std::wstring path = dir.File(L"run.log");
  ASSERT_TRUE(quilltest::WriteFileBytes(path, "the earlier run\r\n"));
  DiagnosticLog log;
  ASSERT_TRUE(log.Open(path, 4096));
  log.Write(LogText(L"\u5b89\u88c5 setup\r\nforged line").c_str());
  for (int i = 0; i < 1000; ++i)
    log.Write(("line " + std::to_string(i)).c_str());
  EXPECT_LE(quilltest::ReadFileBytes(path).size(), 4096u);
  const std::vector<std::string> texts = TextsOf(path);
  ASSERT_GT(texts.size(), 50u);
  EXPECT_EQ(texts[0], "\xe5\xae\x89\xe8\xa3\x85 setup  forged line");
  EXPECT_EQ(texts[texts.size() - 2], "line " + std::to_string(texts.size() - 3));
  EXPECT_EQ(texts.back(), "log cut here: it reached its size limit");
}

unsigned __stdcall WriteLines(void* tag) {
  for (int i = 0; i < 400; ++i)
    LogLine("thread %s line %d, long enough to be written in more than one piece by a lesser log",
            static_cast<const char*>(tag), i);
  return 0;
}

TEST(DiagnosticLog, LinesOfTwoThreadsNeverMix) {
  quilltest::ScratchDir dir;
  ASSERT_TRUE(GetDiagnosticLog()->Open(dir.File(L"run.log")));
  char a[] = "a", b[] = "b";
  HANDLE threads[] = {
      reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &WriteLines, a, 0, nullptr)),
      reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &WriteLines, b, 0, nullptr))};
  WaitForMultipleObjects(2, threads, TRUE, 30000);
  CloseHandle(threads[0]);
  CloseHandle(threads[1]);
  GetDiagnosticLog()->Close();
  LogLine("after closing");
  const std::vector<std::string> texts = TextsOf(dir.File(L"run.log"));
  ASSERT_EQ(texts.size(), 800u);
  const std::regex whole(R"(thread [ab] line \d+, long enough .* lesser log)");
  for (const std::string& text : texts)
    EXPECT_TRUE(std::regex_match(text, whole)) << text;
}

}  // namespace
}  // namespace rerozadez
