#include "main/script_runner.h"

#include <gtest/gtest.h>

#include "json/json_parse.h"
#include "json/json_text.h"
#include "support/fake_link.h"
#include "support/fd_io.h"

namespace brelvo::cli {
namespace {

using test_support::answers_in_turn;
using test_support::FakeLink;

// The script read from a file, as `run` reads it, then run.
std::string outcome(FakeLink& link, std::string_view script) {
  const test_support::UniqueFd file = test_support::memory_file(script);
  auto lines = read_script("/proc/self/fd/" + std::to_string(file.get()));
  if (!lines) return "unreadable: " + lines.error().message();
  auto result = run_script(link, *lines, 180);
  return result ? json::to_compact_text(*result)
                : result.error().code() + ": " + result.error().message();
}

json::JsonValue json(std::string_view text) {
  return *json::parse_json(text);
}

TEST(ScriptRunner, CountsEveryLineAndSkipsBlanksAndComments) {
  FakeLink link;
  link.exec = answers_in_turn({json(R"({"ok":1})")});
  EXPECT_EQ(outcome(link, "# comment\n\n  {\"tool\":\"echo\"}  \n// done\n"),
            R"([{"line":3,"result":{"ok":1},"tool":"echo"}])");
  EXPECT_EQ(link.calls, (std::vector<std::string>{"exec echo {} 180"}));
}

TEST(ScriptRunner, CrlfRunsLikeLf) {
  FakeLink lf;
  FakeLink crlf;
  const std::string lf_out = outcome(lf, "{\"tool\":\"a\"}\n\n{\"tool\":\"b\"}");
  EXPECT_EQ(outcome(crlf, "{\"tool\":\"a\"}\r\n\r\n{\"tool\":\"b\"}\r\n"), lf_out);
  EXPECT_EQ(lf.calls, crlf.calls);
}

TEST(ScriptRunner, NothingToRunGivesAnEmptyArrayWithoutContact) {
  FakeLink link;
  EXPECT_EQ(outcome(link, ""), "[]");
  EXPECT_EQ(outcome(link, "\n# only a comment\n\n"), "[]");
  EXPECT_TRUE(link.calls.empty());
}

TEST(ScriptRunner, ToolAndArgumentMembers) {
  FakeLink link;
  outcome(link,
          "{\"id\":\"screenshot\"}\n"
          "{\"tool\":\"x\",\"params\":{\"a\":1}}\n"
          "{\"tool\":\"x\",\"args\":null,\"params\":{\"a\":1}}\n"
          "{\"tool\":\"x\",\"args\":[1]}\n");
  EXPECT_EQ(link.calls, (std::vector<std::string>{"exec screenshot {} 180", "exec x {\"a\":1} 180",
                                                  "exec x null 180", "exec x [1] 180"}));
}

TEST(ScriptRunner, LineErrorsNameTheLine) {
  FakeLink link;
  EXPECT_EQ(outcome(link, "\n{\"tool\":5,\"id\":\"screenshot\"}"), "usage: line 2: needs \"tool\"");
  EXPECT_EQ(outcome(link, "[1]"), "usage: line 1: needs \"tool\"");
  EXPECT_EQ(outcome(link, "\"echo\""), "usage: line 1: needs \"tool\"");
  EXPECT_EQ(outcome(link, "{\"tool\":\"a\"} x"),
            "usage: line 1: trailing characters at line 1 column 14");
  EXPECT_TRUE(link.calls.empty());
}

TEST(ScriptRunner, ToolFailureStopsWithTheRecordsSoFar) {
  FakeLink link;
  link.exec =
      answers_in_turn({json(R"({"n":1})"), json(R"({"error":"busy","imageBase64":"QQ=="})")});
  EXPECT_EQ(
      outcome(link, "{\"tool\":\"a\"}\n{\"tool\":\"b\"}\n{\"tool\":\"c\"}\n"),
      R"(tool_failed: [{"line":1,"result":{"n":1},"tool":"a"},{"line":2,"result":{"error":"busy",)"
      R"("imageBytes":3,"note":"image omitted; use `brelvo-cli screenshot --out FILE.png`"},"tool":"b"}])");
  EXPECT_EQ(link.calls.size(), 2u);
}

TEST(ScriptRunner, LinkErrorsStopTheRunUnchanged) {
  FakeLink link;
  link.exec = answers_in_turn({std::unexpected(bridge::BridgeError::not_running("down"))});
  EXPECT_EQ(outcome(link, "{\"tool\":\"a\"}\n{\"tool\":\"b\"}"), "not_running: down");
  EXPECT_EQ(link.calls.size(), 1u);
}

}  // namespace
}  // namespace brelvo::cli
