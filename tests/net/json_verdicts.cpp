// Prints jsoncpp's verdict on each odd package reply, one line each: whether
// the strict reader accepts it, and the odd member's value as a double to the
// last bit. Built twice, against jsoncpp as Debian ships it and against our
// patched copy, which is built without exceptions and so is read as the
// package query reads it: a reply nested deeper than the query's limit never
// reaches it. The JsonVerdicts test compares the two outputs, so the limit
// must refuse exactly what Debian's reader throws for.
#include <json/json.h>

#include <cstdio>
#include <exception>
#include <memory>

#if QUILL_JSON_DEPTH_CHECK
#include "net/package_info.h"
#endif
#include "tests/net/odd_json_documents.h"

namespace {

// The package query's reader settings (net/package_info.cpp).
const char* Verdict(const std::string& document, Json::Value* root) {
#if QUILL_JSON_DEPTH_CHECK
  if (rerozadez::JsonNestingDepth(document) > rerozadez::kJsonDepthLimit)
    return "refused";
#endif
  Json::CharReaderBuilder builder;
  Json::CharReaderBuilder::strictMode(&builder.settings_);
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  std::string errors;
  try {
    return reader->parse(document.data(), document.data() + document.size(), root, &errors)
               ? "accepted"
               : "refused";
  } catch (const std::exception&) {
    return "refused";  // nested too deep: the one exception it throws
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
