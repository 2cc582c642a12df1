#include "tests/support/stand_ins.h"

#include "platform/process_snapshot.h"
#include "tests/support/test_files.h"

namespace quilltest {

std::wstring StandInPath(const std::wstring& exeName) {
  // The build passes the folder with forward slashes.
  std::wstring path = std::wstring(QUILL_STAND_IN_DIR) + L"\\" + exeName;
  for (wchar_t& c : path) {
    if (c == L'/') {
      c = L'\\';
    }
  }
  return path;
}

bool CopyStandIn(const std::wstring& exeName, const std::wstring& targetPath) {
  return CopyFileW(StandInPath(exeName).c_str(), targetPath.c_str(), FALSE) != FALSE;
}

std::string WithCodeByteChanged(const std::string& program) {
  auto read32 = [&program](size_t at) -> size_t {
    if (at + 4 > program.size()) {
      return 0;
    }
    return static_cast<unsigned char>(program[at]) |
           static_cast<unsigned char>(program[at + 1]) << 8 |
           static_cast<unsigned char>(program[at + 2]) << 16 |
           static_cast<size_t>(static_cast<unsigned char>(program[at + 3])) << 24;
  };
  const size_t pe = read32(0x3C);
  const size_t sections = read32(pe + 4) >> 16;  // NumberOfSections, after Machine
  const size_t optionalSize = read32(pe + 20) & 0xFFFF;
  for (size_t i = 0; i < sections; ++i) {
    const size_t header = pe + 24 + optionalSize + 40 * i;
    if (header + 40 <= program.size() && program.compare(header, 6, ".text\0", 6) == 0) {
      const size_t at = read32(header + 20) + 64;  // PointerToRawData, a little in
      if (at >= program.size()) {
        return std::string();
      }
      std::string changed = program;
      changed[at] = static_cast<char>(changed[at] ^ 0x01);
      return changed;
    }
  }
  return std::string();
}

std::vector<DWORD> ProcessesNamed(const std::wstring& name) {
  std::vector<DWORD> ids;
  std::vector<rerozadez::ProcessEntry> processes;
  rerozadez::TakeProcessSnapshot(&processes);
  for (const rerozadez::ProcessEntry& process : processes) {
    if (process.imageName == name) {
      ids.push_back(process.link.id);
    }
  }
  return ids;
}

void EndProcessesNamed(const std::wstring& name) {
  for (DWORD id : ProcessesNamed(name)) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
    if (process != nullptr) {
      TerminateProcess(process, 1);
      WaitForSingleObject(process, 5000);
      CloseHandle(process);
    }
  }
}

bool WaitForProcessesNamed(const std::wstring& name, size_t count, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (ProcessesNamed(name).size() < count) {
    if (GetTickCount() - start > timeoutMs) {
      return false;
    }
    Sleep(20);
  }
  return true;
}

std::vector<RecordedStart> ReadRecordedStarts(const std::wstring& logPath) {
  std::vector<RecordedStart> starts;
  std::string bytes = ReadFileBytes(logPath);
  size_t lineStart = 0;
  while (lineStart < bytes.size()) {
    size_t lineEnd = bytes.find('\n', lineStart);
    if (lineEnd == std::string::npos) {
      lineEnd = bytes.size();
    }
    std::string line = bytes.substr(lineStart, lineEnd - lineStart);
    lineStart = lineEnd + 1;
    int length =
        MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0);
    std::wstring wide(length, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), &wide[0], length);
    std::vector<std::wstring> fields;
    size_t fieldStart = 0;
    for (size_t tab; (tab = wide.find(L'\t', fieldStart)) != std::wstring::npos;
         fieldStart = tab + 1) {
      fields.push_back(wide.substr(fieldStart, tab - fieldStart));
    }
    fields.push_back(wide.substr(fieldStart));
    if (fields.size() == 4) {
      starts.push_back({fields[0], fields[1], fields[2], _wtoi(fields[3].c_str())});
    }
  }
  return starts;
}

std::vector<RecordedStart> WaitForRecordedStarts(const std::wstring& logPath, size_t count,
                                                 DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  std::vector<RecordedStart> starts = ReadRecordedStarts(logPath);
  while (starts.size() < count && GetTickCount() - start < timeoutMs) {
    Sleep(20);
    starts = ReadRecordedStarts(logPath);
  }
  return starts;
}

}  // namespace quilltest
