// The public JSON conformance suite: every y_ case is accepted, every n_ case
// rejected, and no i_ case crashes. Input reaches the parser only after a
// UTF-8 check, as everywhere in the program.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "json/json_parse.h"
#include "json/json_text.h"
#include "json/utf8.h"

namespace brelvo::json {
namespace {

namespace fs = std::filesystem;

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

bool accepted(const std::string& text) {
  return is_valid_utf8(text) && parse_json(text).has_value();
}

void run_cases(char prefix, bool (*check)(const std::string&)) {
  const fs::path dir = JSONTESTSUITE_DIR;
  if (!fs::is_directory(dir)) GTEST_SKIP() << "no conformance suite at " << dir;
  int count = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (name[0] != prefix) continue;
    ++count;
    EXPECT_TRUE(check(read_file(entry.path()))) << name;
  }
  EXPECT_GT(count, 0);
}

TEST(JsonTestSuite, AcceptsEveryYCase) {
  run_cases('y', [](const std::string& text) { return accepted(text); });
}

TEST(JsonTestSuite, RejectsEveryNCase) {
  run_cases('n', [](const std::string& text) { return !accepted(text); });
}

TEST(JsonTestSuite, ImplementationDefinedCasesRoundTripWhenAccepted) {
  run_cases('i', [](const std::string& text) {
    if (!accepted(text)) return true;
    auto value = parse_json(text);
    return parse_json(to_compact_text(*value)) == value;
  });
}

}  // namespace
}  // namespace brelvo::json
