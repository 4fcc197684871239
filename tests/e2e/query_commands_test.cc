// status, commands and exec against the simulator: exact output, empty
// standard error, exit codes, and the exact request lines received.
#include <gtest/gtest.h>

#include "json/json_parse.h"
#include "json/json_text.h"
#include "sim_fixture.h"

namespace brelvo::e2e {
namespace {

class QueryCommands : public SimTest {
 protected:
  void SetUp() override { start_sim(); }

  std::string ping_text(bool ready = true) const {
    return "{\n    \"models\": 1,\n    \"name\": \"Brelvo Desktop\",\n    \"pid\": " +
           std::to_string(sim_pid()) + ",\n    \"ready\": " + (ready ? "true" : "false") +
           ",\n    \"version\": \"3.0.0\"\n  }";
  }
};

TEST_F(QueryCommands, StatusPrintsTheApplicationAnswerAndThePath) {
  RunResult status = cli({"status"});
  EXPECT_EQ(status.out, "{\n  \"app\": " + ping_text() + ",\n  \"control\": \"" +
                            control_path().string() + "\",\n  \"running\": true\n}\n");
  EXPECT_EQ(status.err, "");
  EXPECT_EQ(status.exit_code, 0);
  EXPECT_EQ(requests(), (std::vector<std::string>{request_line(1, "ping", "null", token())}));
}

TEST_F(QueryCommands, CommandsWithAndWithoutNames) {
  RunResult names = cli({"commands", "--names"});
  auto parsed = json::parse_json(names.out);
  ASSERT_TRUE(parsed);
  ASSERT_TRUE(parsed->is_array());
  EXPECT_EQ(parsed->as_array()->front(), json::JsonValue("list_models"));
  EXPECT_EQ(names.exit_code, 0);
  RunResult full = cli({"commands"});
  auto catalogue = json::parse_json(full.out);
  ASSERT_TRUE(catalogue && catalogue->is_array());
  EXPECT_EQ(catalogue->as_array()->size(), parsed->as_array()->size());
  EXPECT_NE(catalogue->as_array()->front().get("inputSchema"), nullptr);
  EXPECT_EQ(requests(), (std::vector<std::string>{request_line(1, "commands", "null", token()),
                                                  request_line(1, "commands", "null", token())}));
}

TEST_F(QueryCommands, ExecSendsExactlyTheValuesGiven) {
  RunResult exec =
      cli({"exec", "echo", "count=3", "flag=true", "name=wall", "ids=[1,2]", "nothing=null"});
  EXPECT_EQ(exec.out,
            "{\n  \"count\": 3,\n  \"flag\": true,\n  \"ids\": [\n    1,\n    2\n  ],\n  \"name\": "
            "\"wall\",\n"
            "  \"nothing\": null\n}\n");
  EXPECT_EQ(exec.err, "");
  EXPECT_EQ(exec.exit_code, 0);
  EXPECT_EQ(
      requests(),
      (std::vector<std::string>{request_line(
          1, "exec",
          R"({"args":{"count":3,"flag":true,"ids":[1,2],"name":"wall","nothing":null},"timeout_ms":180000,"tool":"echo"})",
          token())}));
}

TEST_F(QueryCommands, ExecTimeoutIsSentInMilliseconds) {
  cli({"--timeout", "+7", "exec", "echo", R"({"a": 1.0})"});
  cli({"exec", "echo", "--timeout", "0"});
  EXPECT_EQ(
      requests(),
      (std::vector<std::string>{
          request_line(1, "exec", R"({"args":{"a":1.0},"timeout_ms":7000,"tool":"echo"})", token()),
          request_line(1, "exec", R"({"args":{},"timeout_ms":0,"tool":"echo"})", token())}));
}

TEST_F(QueryCommands, ToolFailuresAndNullResults) {
  RunResult failed = cli({"exec", "set_property", "id=nope", "name=x"});
  EXPECT_EQ(failed.out, printed_error("tool_failed", "unknown element 'nope'"));
  EXPECT_EQ(failed.exit_code, 2);
  RunResult null_result = cli({"exec", "echo", "{}"});
  EXPECT_EQ(null_result.out, "{}\n");
  RunResult bad_json = cli({"exec", "echo", "{oops"});
  EXPECT_EQ(bad_json.out,
            printed_error("usage", "bad JSON arguments: key must be a string at line 1 column 2"));
  EXPECT_EQ(requests().size(), 2u);  // the usage error sent nothing
}

TEST_F(QueryCommands, InlineImagesAreReplacedByANote) {
  RunResult shot = cli({"exec", "screenshot"});
  auto printed = json::parse_json(shot.out);
  ASSERT_TRUE(printed);
  EXPECT_EQ(printed->get("imageBase64"), nullptr);
  EXPECT_EQ(*printed->get("note"),
            json::JsonValue("image omitted; use `brelvo-cli screenshot --out FILE.png`"));
  EXPECT_TRUE(printed->get("imageBytes")->as_unsigned().has_value());
}

TEST_F(QueryCommands, ClosedPortIsNotRunningWithoutRetry) {
  stop_sim();
  // A control file naming a port where nothing listens any more.
  write_text(control_path(), R"({"protocol":1,"port":1,"token":"t"})");
  RunResult status = cli({"status"});
  EXPECT_EQ(status.out,
            printed_error("not_running", "Brelvo is not running (its control port is closed)"));
  EXPECT_EQ(status.exit_code, 3);
  EXPECT_EQ(status.err, "");
}

TEST_F(QueryCommands, ProtocolMismatchIsReadTwiceThenReported) {
  stop_sim();
  write_text(control_path(), R"({"protocol":2,"port":1})");
  RunResult status = cli({"status"});
  EXPECT_EQ(
      status.out,
      printed_error(
          "io", "Brelvo speaks control protocol 2, this brelvo-cli speaks 1: update one of them"));
  EXPECT_EQ(status.exit_code, 2);
}

TEST_F(QueryCommands, ClosedStandardOutputNeverReachesTheSocket) {
  // With fd 1 closed at start, the socket would otherwise get descriptor 1
  // and the printed result would be sent to the application.
  RunResult run = run_program("/bin/sh", {"-c", "exec \"$0\" --control \"$1\" exec echo a=1 >&-",
                                          kCliPath.string(), control_path().string()});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(requests(),
            (std::vector<std::string>{request_line(
                1, "exec", R"({"args":{"a":1},"timeout_ms":180000,"tool":"echo"})", token())}));
}

class FaultyApplication : public SimTest {};

TEST_F(FaultyApplication, NotReadyAndTimeoutCodesMapToExitCodes) {
  start_sim({"--not-ready-error", "1"});
  RunResult status = cli({"status"});
  EXPECT_EQ(status.out, printed_error("not_ready", "Brelvo is still starting"));
  EXPECT_EQ(status.exit_code, 3);
}

TEST_F(FaultyApplication, ClosedWithoutAnswerIsRetriedOnceOnAFreshConnection) {
  start_sim({"--close-without-answer", "2"});
  RunResult status = cli({"status"});
  EXPECT_EQ(status.out, printed_error("io", "Brelvo closed the connection"));
  EXPECT_EQ(status.exit_code, 2);
  EXPECT_EQ(requests(), (std::vector<std::string>{request_line(1, "ping", "null", token()),
                                                  request_line(2, "ping", "null", token())}));
  EXPECT_EQ(connections(), 2u);
}

// A question is asked again; a tool that answered is not (the fault matrix).
TEST_F(FaultyApplication, GarbageThenAGoodAnswer) {
  start_sim({"--garbage", "1"});
  RunResult names = cli({"commands", "--names"});
  EXPECT_EQ(names.out.substr(0, 18), "[\n  \"list_models\",");
  EXPECT_EQ(names.exit_code, 0);
  EXPECT_EQ(requests().size(), 2u);
}

TEST_F(FaultyApplication, AnswerThatIsNotUtf8) {
  start_sim({"--invalid-utf8", "2"});
  RunResult status = cli({"status"});
  EXPECT_EQ(status.out, printed_error("io", "stream did not contain valid UTF-8"));
  EXPECT_EQ(status.exit_code, 2);
}

TEST_F(FaultyApplication, LastLineWithoutLineFeedIsStillAnAnswer) {
  start_sim({"--no-newline-close", "1"});
  RunResult exec = cli({"exec", "echo", "x=1"});
  EXPECT_EQ(exec.out, "{\n  \"x\": 1\n}\n");
  EXPECT_EQ(exec.exit_code, 0);
}

TEST_F(FaultyApplication, RotatedTokenIsUnauthorized) {
  start_sim({"--rotate-token", "1"});
  const std::string old_token = token();
  cli({"status"});
  // The simulator rotates after it has answered, so the file changes later.
  ASSERT_TRUE(wait_until([&] { return token() != old_token; }));
  // A new run reads the rewritten file and its token.
  RunResult status = cli({"status"});
  EXPECT_EQ(status.exit_code, 0);
  ASSERT_EQ(requests().size(), 2u);
  EXPECT_EQ(requests()[0], request_line(1, "ping", "null", old_token));
  EXPECT_EQ(requests()[1], request_line(1, "ping", "null", token()));
  EXPECT_NE(old_token, token());
}

}  // namespace
}  // namespace brelvo::e2e
