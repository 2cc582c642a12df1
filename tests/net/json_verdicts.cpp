// Prints jsoncpp's verdict on each odd package reply, one line each: whether
// the strict reader accepts it, and the odd member's value as a double to the
// last bit. Built twice, against jsoncpp as Debian ships it and against our
// patched copy; the JsonVerdicts test compares the two outputs.
#include <json/json.h>

#include <cstdio>
#include <exception>
#include <memory>

#include "tests/net/odd_json_documents.h"

namespace {

// The package query's reader settings (net/package_info.cpp).
const char* Verdict(const std::string& document, Json::Value* root) {
  Json::CharReaderBuilder builder;
  Json::CharReaderBuilder::strictMode(&builder.settings_);
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  std::string errors;
  try {
    return reader->parse(document.data(), document.data() + document.size(), root, &errors)
               ? "accepted"
               : "refused";
  } catch (const std::exception&) {
    return "threw";
  }
}

}  // namespace

int main() {
  for (const quilltest::OddDocument& odd : quilltest::OddDocuments()) {
    Json::Value root;
    const char* verdict = Verdict(quilltest::ReplyWith(odd.member), &root);
    const Json::Value& x = root["X"];
    if (x.isNumeric())
      std::printf("%s: %s %.17g\n", odd.name, verdict, x.asDouble());
    else
      std::printf("%s: %s\n", odd.name, verdict);
  }
  return 0;
}
