// run and screenshot against the simulator.
#include <gtest/gtest.h>

#include "json/base64.h"
#include "json/json_parse.h"
#include "json/json_text.h"
#include "sim_fixture.h"

namespace brelvo::e2e {
namespace {

class ScriptRunner : public SimTest {
 protected:
  void SetUp() override { start_sim(); }

  std::string echo_request(std::uint64_t id, std::string_view args) const {
    return request_line(
        id, "exec", "{\"args\":" + std::string(args) + ",\"timeout_ms\":180000,\"tool\":\"echo\"}",
        token());
  }
};

TEST_F(ScriptRunner, CrlfFileRunsLikeLfOverOneConnection) {
  write_text(
      dir() / "lf.jsonl",
      "# setup\n\n{\"tool\":\"echo\",\"args\":{\"n\":1}}\n{\"id\":\"echo\",\"params\":[2]}\n");
  write_text(dir() / "crlf.jsonl",
             "# "
             "setup\r\n\r\n{\"tool\":\"echo\",\"args\":{\"n\":1}}\r\n{\"id\":\"echo\",\"params\":["
             "2]}\r\n");
  RunResult lf = cli({"run", (dir() / "lf.jsonl").string()});
  RunResult crlf = cli({"run", (dir() / "crlf.jsonl").string()});
  const std::string expected =
      "[\n  {\n    \"line\": 3,\n    \"result\": {\n      \"n\": 1\n    },\n    \"tool\": "
      "\"echo\"\n  },\n"
      "  {\n    \"line\": 4,\n    \"result\": [\n      2\n    ],\n    \"tool\": \"echo\"\n  }\n]\n";
  EXPECT_EQ(lf.out, expected);
  EXPECT_EQ(crlf.out, expected);
  EXPECT_EQ(lf.err, "");
  EXPECT_EQ(lf.exit_code, 0);
  EXPECT_EQ(requests(),
            (std::vector<std::string>{echo_request(1, R"({"n":1})"), echo_request(2, "[2]"),
                                      echo_request(1, R"({"n":1})"), echo_request(2, "[2]")}));
  EXPECT_EQ(connections(), 2u);  // one per run
}

TEST_F(ScriptRunner, FailingToolStopsTheRunWithTheRecordsSoFar) {
  write_text(dir() / "s.jsonl",
             "{\"tool\":\"echo\",\"args\":{\"n\":1}}\n"
             "{\"tool\":\"delete_element\",\"args\":{\"id\":\"nope\"}}\n"
             "{\"tool\":\"echo\",\"args\":{\"n\":3}}\n");
  RunResult run = cli({"run", (dir() / "s.jsonl").string()});
  EXPECT_EQ(
      run.out,
      printed_error(
          "tool_failed",
          R"([{"line":1,"result":{"n":1},"tool":"echo"},)"
          R"({"line":2,"result":{"error":"unknown element 'nope'"},"tool":"delete_element"}])"));
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_EQ(requests().size(), 2u);
}

TEST_F(ScriptRunner, UnreadableAndMissingScripts) {
  RunResult missing = cli({"run", "no/such/script.jsonl"});
  EXPECT_EQ(missing.out,
            printed_error("io", "no/such/script.jsonl: No such file or directory (os error 2)"));
  EXPECT_EQ(missing.exit_code, 2);
  RunResult directory = cli({"run", dir().string()});
  EXPECT_EQ(directory.out, printed_error("io", dir().string() + ": Is a directory (os error 21)"));
  write_text(dir() / "latin1.jsonl", "{\"tool\":\"caf\xE9\"}\n");
  RunResult latin1 = cli({"run", (dir() / "latin1.jsonl").string()});
  EXPECT_EQ(latin1.out, printed_error("io", (dir() / "latin1.jsonl").string() +
                                                ": stream did not contain valid UTF-8"));
  EXPECT_TRUE(requests().empty());
}

class Screenshot : public SimTest {};

TEST_F(Screenshot, WritesThePngByteForByteOverAnyOldFile) {
  start_sim();
  const auto out = dir() / "view.png";
  write_text(out, std::string(1 << 20, 'x'));  // longer than the image: must be truncated
  RunResult shot = cli({"screenshot", "--out", out.string()});
  const std::string png = read_text(out);
  auto expected = json::decode_base64(*direct_exec("screenshot").get("imageBase64")->as_string());
  ASSERT_TRUE(expected);
  EXPECT_EQ(png, *expected);
  EXPECT_TRUE(png.starts_with("\x89PNG\r\n\x1a\n"));
  EXPECT_EQ(shot.out, "{\n  \"bytes\": " + std::to_string(png.size()) +
                          ",\n  \"mimeType\": \"image/png\",\n" + "  \"ok\": true,\n  \"out\": \"" +
                          out.string() + "\"\n}\n");
  EXPECT_EQ(shot.exit_code, 0);
  EXPECT_EQ(shot.err, "");
}

TEST_F(Screenshot, InvalidBase64WritesNoFile) {
  start_sim({"--screenshot-base64", "QQ"});
  RunResult shot = cli({"screenshot", "--out", (dir() / "x.png").string()});
  EXPECT_EQ(shot.out, printed_error("io", "Invalid padding"));
  EXPECT_EQ(shot.exit_code, 2);
  EXPECT_FALSE(std::filesystem::exists(dir() / "x.png"));
}

TEST_F(Screenshot, UnwritablePathGivesThePathAndTheSystemError) {
  start_sim();
  RunResult shot = cli({"screenshot", "--out", "/nonexistent/dir/x.png"});
  EXPECT_EQ(shot.out,
            printed_error("io", "/nonexistent/dir/x.png: No such file or directory (os error 2)"));
  EXPECT_EQ(shot.exit_code, 2);
  RunResult usage = cli({"screenshot", "--out"});
  EXPECT_EQ(usage.out, printed_error("usage", "screenshot --out FILE.png"));
  EXPECT_EQ(requests().size(), 1u);
}

TEST_F(Screenshot, NotRunningIsNotStarted) {
  RunResult shot = cli({"screenshot", "--out", (dir() / "x.png").string()});
  EXPECT_EQ(shot.out, printed_error("not_running",
                                    "Brelvo is not running (no " + control_path().string() + ")"));
  EXPECT_EQ(shot.exit_code, 3);
}

}  // namespace
}  // namespace brelvo::e2e
