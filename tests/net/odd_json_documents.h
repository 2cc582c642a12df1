#pragma once

// Package replies that push the JSON reader to its edges: numbers at and past
// a double's range, malformed numbers, a member twice, deep nesting. The
// verdicts are jsoncpp's own as Debian ships it (json_verdicts_pristine
// prints them; the JsonVerdicts test shows our patched copy gives the same).
// Each odd piece is an extra member of an otherwise good reply, so the reply
// is taken exactly when the reader accepts the piece.

#include <string>
#include <vector>

namespace quilltest {

struct OddDocument {
  const char* name;
  std::string member;  // the text after the good members' last comma
  bool accepted;
};

inline std::string ReplyWith(const std::string& member) {
  return "{\"RES\":\"SUCCESS\",\"VerName\":\"3.2.1\",\"DownloadURL\":\"http://h/s.exe\","
         "\"Size\":\"1\",\"FPMD5\":\"0123456789abcdef0123456789abcdef\"," +
         member + "}";
}

inline std::string Nested(int depth, const std::string& inside = "") {
  return "\"X\":" + std::string(depth, '[') + inside + std::string(depth, ']');
}

inline std::string NestedObjects(int depth) {
  std::string value = "{}";
  for (int level = 1; level < depth; ++level)
    value = "{\"a\" : " + value + "}";
  return "\"X\":" + value;
}

inline std::vector<OddDocument> OddDocuments() {
  return {
      {"integer", "\"X\":12345", true},
      {"fraction", "\"X\":-1.5", true},
      {"largest double", "\"X\":1.7976931348623157e308", true},
      {"rounds down to largest", "\"X\":1.7976931348623158e308", true},
      {"rounds up past largest", "\"X\":1.7976931348623159e308", false},
      {"1e999", "\"X\":1e999", false},
      {"-1e999", "\"X\":-1e999", false},
      {"integer past 64 bits", "\"X\":184467440737095516160", true},
      {"400 digits", "\"X\":" + std::string(400, '9'), false},
      {"smallest denormal", "\"X\":4.9406564584124654e-324", true},
      {"below the smallest denormal", "\"X\":2e-324", true},
      {"1e-999", "\"X\":1e-999", true},
      {"point without digits after", "\"X\":1.", true},
      {"point then exponent", "\"X\":1.e5", true},
      {"exponent without digits", "\"X\":1e", false},
      {"exponent sign without digits", "\"X\":1e+", false},
      {"minus alone", "\"X\":-", true},
      {"minus then point", "\"X\":-.5", true},
      {"minus then exponent", "\"X\":-e5", false},
      {"leading zeros", "\"X\":007", true},
      {"leading point", "\"X\":.5", false},
      {"plus sign", "\"X\":+1", true},
      {"two points", "\"X\":1.2.3", false},
      {"hexadecimal", "\"X\":0x10", false},
      {"Infinity", "\"X\":Infinity", false},
      {"NaN", "\"X\":NaN", false},
      {"duplicate key", "\"Size\":\"2\"", false},
      {"duplicate extra key", "\"X\":1,\"X\":1", false},
      {"nested 999 deep", Nested(998), true},
      {"nested 1,000 deep", Nested(999), true},
      {"nested 1,001 deep", Nested(1000), false},
      {"nested 100,000 deep", Nested(99999), false},
      {"a number 1,000 deep", Nested(998, "1"), true},
      {"a number 1,001 deep", Nested(999, "1"), false},
      {"a blank 1,000 deep", Nested(999, " \r\n\t"), true},
      {"objects 1,000 deep", NestedObjects(999), true},
      {"objects 1,001 deep", NestedObjects(1000), false},
      {"brackets in a text", "\"X\":\"" + std::string(2000, '[') + "\"", true},
      {"brackets after an escaped quote", "\"X\":\"\\\"" + std::string(2000, '{') + "\"", true},
      {"brackets after an escaped backslash", "\"Y\":\"\\\\\"," + Nested(1000), false},
  };
}

}  // namespace quilltest
