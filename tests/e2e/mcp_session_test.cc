// brelvo-cli mcp as a client meets it: whole output lines compared exactly.
#include <gtest/gtest.h>

#include "json/json_parse.h"
#include "json/json_text.h"
#include "sim_fixture.h"

namespace brelvo::e2e {
namespace {

std::vector<std::string> lines_of(const std::string& out) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(out.substr(start, end - start));
  }
  EXPECT_EQ(start, out.size()) << "output ends without a line feed";
  return lines;
}

class McpSession : public SimTest {
 protected:
  RunResult mcp(const std::string& input, std::vector<std::string> extra = {}) {
    extra.push_back("mcp");
    RunOptions options;
    options.input = input;
    return cli(extra, options);
  }
};

TEST_F(McpSession, HandshakeErrorsAndIgnoredMessages) {
  start_sim();
  RunResult session =
      mcp("{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"initialize\",\"params\":{\"protocolVersion\":"
          "\"2024-11-05\"}}\r\n"
          "{\"jsonrpc\":\"2.0\",\"method\":\"notifications/initialized\"}\n"
          "\n  \t\n"
          "not json\n"
          "{\"jsonrpc\":\"2.0\",\"id\":\"x\",\"method\":\"Ping\"}\n"
          "[{\"jsonrpc\":\"2.0\",\"id\":9,\"method\":\"ping\"}]\n"
          "{\"jsonrpc\":\"2.0\",\"id\":null,\"method\":\"ping\"}\n"
          "{\"id\":{\"k\":[1.5]},\"method\":\"prompts/list\"}");
  std::vector<std::string> lines = lines_of(session.out);
  ASSERT_EQ(lines.size(), 5u) << session.out;
  auto init = json::parse_json(lines[0]);
  ASSERT_TRUE(init);
  const json::JsonValue* result = init->get("result");
  EXPECT_EQ(result->get("instructions")->as_string()->size(), 828u);
  EXPECT_EQ(json::to_compact_text(*result->get("serverInfo")),
            R"({"name":"brelvo","title":"Brelvo Desktop","version":"3.0.0"})");
  EXPECT_TRUE(lines[0].starts_with(
      R"({"id":1,"jsonrpc":"2.0","result":{"capabilities":{"tools":{"listChanged":true}},"instructions":"Brelvo is a desktop)"));
  EXPECT_TRUE(lines[0].ends_with(
      R"(","protocolVersion":"2024-11-05","serverInfo":{"name":"brelvo","title":"Brelvo Desktop","version":"3.0.0"}}})"));
  EXPECT_EQ(lines[1],
            R"({"error":{"code":-32700,"message":"parse error"},"id":null,"jsonrpc":"2.0"})");
  EXPECT_EQ(
      lines[2],
      R"({"error":{"code":-32601,"message":"method not found: Ping"},"id":"x","jsonrpc":"2.0"})");
  EXPECT_EQ(lines[3], R"({"id":null,"jsonrpc":"2.0","result":{}})");
  EXPECT_EQ(lines[4], R"({"id":{"k":[1.5]},"jsonrpc":"2.0","result":{"prompts":[]}})");
  EXPECT_EQ(session.err, "");
  EXPECT_EQ(session.exit_code, 0);
  EXPECT_TRUE(requests().empty());  // nothing here needs the application
}

TEST_F(McpSession, ToolsAreRelayedOverOneConnection) {
  start_sim();
  RunResult session =
      mcp("{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"tools/list\"}\n"
          "{\"jsonrpc\":\"2.0\",\"id\":2,\"method\":\"tools/"
          "call\",\"params\":{\"name\":\"echo\",\"arguments\":{\"a\":1}}}\n"
          "{\"jsonrpc\":\"2.0\",\"id\":3,\"method\":\"tools/"
          "call\",\"params\":{\"name\":\"delete_element\",\"arguments\":{\"id\":\"x\"}}}\n"
          "{\"jsonrpc\":\"2.0\",\"id\":4,\"method\":\"tools/"
          "call\",\"params\":{\"name\":\"screenshot\"}}\n");
  std::vector<std::string> lines = lines_of(session.out);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_TRUE(lines[0].starts_with(
      R"({"id":1,"jsonrpc":"2.0","result":{"tools":[{"description":"Start Brelvo Desktop if it is not running and wait until it is ready. Returns the app version. Call this when other tools report that Brelvo is not running.","inputSchema":{"properties":{},"type":"object"},"name":"launch_brelvo"},{"description":"List the models)"));
  EXPECT_EQ(
      lines[1],
      R"({"id":2,"jsonrpc":"2.0","result":{"content":[{"text":"{\"a\":1}","type":"text"}],"isError":false}})");
  EXPECT_EQ(
      lines[2],
      R"({"id":3,"jsonrpc":"2.0","result":{"content":[{"text":"{\"error\":\"unknown element 'x'\"}","type":"text"}],"isError":true}})");
  const std::string image(*direct_exec("screenshot").get("imageBase64")->as_string());
  EXPECT_EQ(
      lines[3],
      R"({"id":4,"jsonrpc":"2.0","result":{"content":[{"text":"{\"height\":200,\"width\":320}","type":"text"},{"data":")" +
          image + R"(","mimeType":"image/png","type":"image"}],"isError":false}})");
  EXPECT_EQ(connections(), 2u);  // the session's, and direct_exec's own
  EXPECT_EQ(requests().size(), 5u);
}

TEST_F(McpSession, ApplicationDownGivesLaunchAloneAndAdvice) {
  RunResult session = mcp(
      "{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"tools/list\"}\n"
      "{\"jsonrpc\":\"2.0\",\"id\":2,\"method\":\"tools/call\",\"params\":{\"name\":\"echo\"}}\n");
  std::vector<std::string> lines = lines_of(session.out);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(
      lines[0],
      R"({"id":1,"jsonrpc":"2.0","result":{"tools":[{"description":"Start Brelvo Desktop if it is not running and wait until it is ready. Returns the app version. Call this when other tools report that Brelvo is not running.","inputSchema":{"properties":{},"type":"object"},"name":"launch_brelvo"}]}})");
  EXPECT_EQ(lines[1],
            R"({"id":2,"jsonrpc":"2.0","result":{"content":[{"text":"Brelvo is not running (no )" +
                control_path().string() +
                R"() Call launch_brelvo to start it.","type":"text"}],"isError":true}})");
  EXPECT_EQ(session.err, "");
}

TEST_F(McpSession, InputThatIsNotUtf8EndsTheSession) {
  start_sim();
  RunResult session =
      mcp("{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"ping\"}\n"
          "{\"jsonrpc\":\"2.0\",\"id\":2,\"method\":\"ping\",\"x\":\"\xFF\"}\n"
          "{\"jsonrpc\":\"2.0\",\"id\":3,\"method\":\"ping\"}\n");
  EXPECT_EQ(session.out, "{\"id\":1,\"jsonrpc\":\"2.0\",\"result\":{}}\n");
  EXPECT_EQ(session.exit_code, 0);
}

TEST_F(McpSession, FiftyMegabyteLineAndResultPassThrough) {
  start_sim({"--answer-bytes", "50000000"});
  const std::string blob(50'000'000, 'b');
  RunResult session =
      mcp("{\"jsonrpc\":\"2.0\",\"id\":7,\"method\":\"tools/call\",\"params\":{\"name\":\"echo\","
          "\"arguments\":{\"blob\":\"" +
          blob + "\"}}}\n");
  std::vector<std::string> lines = lines_of(session.out);
  ASSERT_EQ(lines.size(), 1u);
  auto answer = json::parse_json(lines[0]);
  ASSERT_TRUE(answer);
  auto text = json::parse_json(
      *answer->get("result")->get("content")->as_array()->front().get("text")->as_string());
  ASSERT_TRUE(text);
  EXPECT_EQ(text->get("args")->get("blob")->as_string()->size(), 50'000'000u);
  EXPECT_EQ(text->get("padding")->as_string()->size(), 50'000'000u);
}

TEST_F(McpSession, SlowToolHoldsOnlyItsOwnRequest) {
  start_sim({"--tool-delay", "find_elements=300"});
  RunResult session =
      mcp("{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"tools/"
          "call\",\"params\":{\"name\":\"find_elements\",\"arguments\":{\"type\":\"IfcRoof\"}}}\n"
          "{\"jsonrpc\":\"2.0\",\"id\":2,\"method\":\"ping\"}\n"
          "{\"jsonrpc\":\"2.0\",\"id\":3,\"method\":\"tools/"
          "call\",\"params\":{\"name\":\"echo\",\"arguments\":{}}}\n");
  std::vector<std::string> lines = lines_of(session.out);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_TRUE(lines[0].starts_with(R"({"id":1,)"));
  EXPECT_EQ(lines[1], R"({"id":2,"jsonrpc":"2.0","result":{}})");
  EXPECT_EQ(
      lines[2],
      R"({"id":3,"jsonrpc":"2.0","result":{"content":[{"text":"{}","type":"text"}],"isError":false}})");
}

}  // namespace
}  // namespace brelvo::e2e

namespace brelvo::e2e {
namespace {

TEST(ProcessEdges, ReaderThatGoesAwayAndClosedStandardInput) {
  // head takes one byte and leaves; the program must still end normally, not by SIGPIPE.
  RunResult head = run_program(
      "/bin/bash", {"-c", "\"$0\" | head -c 1; exit ${PIPESTATUS[0]}", kCliPath.string()});
  EXPECT_EQ(head.out, "b");
  EXPECT_EQ(head.exit_code, 0);
  RunResult closed_input = run_program(
      "/bin/bash", {"-c", "exec \"$0\" --control /nonexistent mcp <&-", kCliPath.string()});
  EXPECT_EQ(closed_input.out, "");
  EXPECT_EQ(closed_input.err, "");
  EXPECT_EQ(closed_input.exit_code, 0);
}

}  // namespace
}  // namespace brelvo::e2e
