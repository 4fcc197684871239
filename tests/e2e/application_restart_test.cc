// The application ends or is killed while a script or an MCP session is
// using it, and starts again with a new port and token in the same control
// file: the next request reads the file again and reaches the new one.
#include <gtest/gtest.h>
#include <signal.h>

#include <future>

#include "sim_fixture.h"

namespace brelvo::e2e {
namespace {

using namespace std::chrono_literals;

std::string echo_params(int n) {
  return R"({"args":{"n":)" + std::to_string(n) + R"(},"timeout_ms":180000,"tool":"echo"})";
}

const std::string kRoofParams =
    R"({"args":{"type":"IfcRoof"},"timeout_ms":180000,"tool":"find_elements"})";

std::string echo_call(int id, int n) {
  return R"({"jsonrpc":"2.0","id":)" + std::to_string(id) +
         R"(,"method":"tools/call","params":{"name":"echo","arguments":{"n":)" + std::to_string(n) +
         "}}}\n";
}

std::string echo_answer(int id, int n) {
  return R"({"id":)" + std::to_string(id) +
         R"(,"jsonrpc":"2.0","result":{"content":[{"text":"{\"n\":)" + std::to_string(n) +
         R"(}","type":"text"}],"isError":false}})";
}

// An MCP session whose input ended: nothing more written, exit code 0.
void expect_quiet_end(const RunResult& rest) {
  EXPECT_FALSE(rest.killed);
  EXPECT_EQ(rest.out, "");
  EXPECT_EQ(rest.err, "");
  EXPECT_EQ(rest.exit_code, 0);
}

class ApplicationRestart : public SimTest {
 protected:
  void TearDown() override {
    stop_process(replacement_);
    SimTest::TearDown();
  }

  // The application started again on the same control file, with logs of its own.
  void start_replacement() {
    replacement_ = start_background(
        kSimPath, {"--control", control_path().string(), "--log", replacement_log().string(),
                   "--connections-log", (dir() / "replacement-connections.log").string()});
    ASSERT_GT(replacement_, 0);
  }

  // Kills the first application while it works on request `busy_with`, once
  // its replacement has rewritten the control file; gives the new token.
  std::string replace_busy_application(std::size_t busy_with) {
    const std::string old_token = token();
    EXPECT_TRUE(wait_until([&] { return requests().size() == busy_with; }));
    start_replacement();
    EXPECT_TRUE(wait_until([&] { return token() != old_token && !token().empty(); }));
    ::kill(sim_pid(), SIGKILL);
    return token();
  }

  std::filesystem::path replacement_log() const { return dir() / "replacement-requests.log"; }
  std::vector<std::string> replacement_requests() const { return logged_lines(replacement_log()); }
  std::size_t replacement_connections() const {
    return logged_lines(dir() / "replacement-connections.log").size();
  }

  RunOptions bounded() const {
    RunOptions options;
    options.kill_after = 10s;
    return options;
  }

 private:
  pid_t replacement_ = -1;
};

TEST_F(ApplicationRestart, ScriptMovesToTheApplicationStartedAfterAKill) {
  start_sim({"--tool-delay", "find_elements=5000"});
  const std::string first_token = token();
  const auto script = dir() / "script.jsonl";
  write_text(script,
             "{\"tool\":\"echo\",\"args\":{\"n\":1}}\n"
             "{\"tool\":\"find_elements\",\"args\":{\"type\":\"IfcRoof\"}}\n"
             "{\"tool\":\"echo\",\"args\":{\"n\":3}}\n");
  auto run = std::async(std::launch::async, [&] {
    return cli({"run", script.string()}, bounded());
  });
  const std::string second_token = replace_busy_application(2);
  RunResult result = run.get();

  EXPECT_FALSE(result.killed);
  EXPECT_EQ(
      result.out,
      "[\n  {\n    \"line\": 1,\n    \"result\": {\n      \"n\": 1\n    },\n    \"tool\": "
      "\"echo\"\n  },\n  {\n    \"line\": 2,\n    \"result\": {\n      \"count\": 1,\n      "
      "\"ids\": [\n        \"2O2Fr$t4X7Zf8NOew3F028\"\n      ]\n    },\n    \"tool\": "
      "\"find_elements\"\n  },\n  {\n    \"line\": 3,\n    \"result\": {\n      \"n\": 3\n    "
      "},\n    \"tool\": \"echo\"\n  }\n]\n");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.err, "");
  // The lost answer costs an id; the call reaches the application twice.
  EXPECT_EQ(requests(),
            (std::vector<std::string>{request_line(1, "exec", echo_params(1), first_token),
                                      request_line(2, "exec", kRoofParams, first_token)}));
  EXPECT_EQ(replacement_requests(),
            (std::vector<std::string>{request_line(3, "exec", kRoofParams, second_token),
                                      request_line(4, "exec", echo_params(3), second_token)}));
  EXPECT_EQ(replacement_connections(), 1u);
}

TEST_F(ApplicationRestart, McpSessionMovesToTheApplicationStartedAfterAKill) {
  start_sim({"--tool-delay", "echo=5000"});
  const std::string first_token = token();
  InteractiveProcess session(kCliPath, {"--control", control_path().string(), "mcp"});
  session.write(echo_call(1, 1));
  const std::string second_token = replace_busy_application(1);
  EXPECT_EQ(session.read_line(), echo_answer(1, 1));
  expect_quiet_end(session.finish());
  EXPECT_EQ(requests(),
            (std::vector<std::string>{request_line(1, "exec", echo_params(1), first_token)}));
  EXPECT_EQ(replacement_requests(),
            (std::vector<std::string>{request_line(2, "exec", echo_params(1), second_token)}));
}

TEST_F(ApplicationRestart, McpSessionSurvivesTheApplicationEndingAndStartingAgain) {
  start_sim({"--exit-after", "1"});
  const std::string first_token = token();
  InteractiveProcess session(kCliPath, {"--control", control_path().string(), "mcp"});
  session.write(echo_call(1, 1));
  EXPECT_EQ(session.read_line(), echo_answer(1, 1));
  // The application removes its control file as it ends.
  ASSERT_TRUE(wait_until([&] { return !std::filesystem::exists(control_path()); }));

  session.write(echo_call(2, 2));
  EXPECT_EQ(session.read_line(),
            R"({"id":2,"jsonrpc":"2.0","result":{"content":[{"text":"Brelvo is not running (no )" +
                control_path().string() +
                R"() Call launch_brelvo to start it.","type":"text"}],"isError":true}})");

  start_replacement();
  ASSERT_TRUE(wait_for_file(control_path()));
  const std::string second_token = token();
  session.write(echo_call(3, 3));
  EXPECT_EQ(session.read_line(), echo_answer(3, 3));
  session.write(echo_call(4, 4));
  EXPECT_EQ(session.read_line(), echo_answer(4, 4));
  expect_quiet_end(session.finish());

  EXPECT_EQ(requests(),
            (std::vector<std::string>{request_line(1, "exec", echo_params(1), first_token)}));
  // Id 2 went to the connection of the application that had ended.
  EXPECT_EQ(replacement_requests(),
            (std::vector<std::string>{request_line(3, "exec", echo_params(3), second_token),
                                      request_line(4, "exec", echo_params(4), second_token)}));
  EXPECT_EQ(replacement_connections(), 1u);
}

}  // namespace
}  // namespace brelvo::e2e
