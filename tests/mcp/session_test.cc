// The JSON-RPC session: reading lines, answering requests, ignoring what
// needs no answer, and initialize.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "mcp/initialize.h"
#include "mcp/mcp_server.h"
#include "serve.h"
#include "support/fd_io.h"

namespace brelvo::mcp {
namespace {

using testing::FakeLink;
using testing::serve;

constexpr std::string_view kParseErrorLine =
    R"({"error":{"code":-32700,"message":"parse error"},"id":null,"jsonrpc":"2.0"})"
    "\n";

std::string serve_alone(std::string_view input) {
  FakeLink link;
  std::string output = serve(input, link);
  EXPECT_TRUE(link.calls.empty());
  return output;
}

std::string pong(std::string_view id) {
  return R"({"id":)" + std::string(id) + R"(,"jsonrpc":"2.0","result":{}})" + "\n";
}

TEST(McpReading, LineEndingsAndBlankLines) {
  EXPECT_EQ(serve_alone("{\"id\":1,\"method\":\"ping\"}\r\n"), pong("1"));
  EXPECT_EQ(serve_alone("{\"id\":1,\"method\":\"ping\"}"), pong("1"));
  // Empty, white space, and Unicode white space that JSON does not allow
  // (VT, FF, U+0085, U+00A0, U+2028, U+3000): all skipped without answer.
  EXPECT_EQ(serve_alone("\n\r\n \t \n\v\f\n\xC2\x85\xC2\xA0\n\xE2\x80\xA8\xE3\x80\x80\n"
                        "{\"id\":2,\"method\":\"ping\"}\n\n"),
            pong("2"));
}

TEST(McpReading, InvalidUtf8EndsTheSessionKeepingEarlierAnswers) {
  FakeLink link;
  std::string output = serve(
      "{\"id\":1,\"method\":\"ping\"}\n"
      "{\"id\":2,\"method\":\"ping\",\"x\":\"\xC3\x28\"}\n"
      "{\"id\":3,\"method\":\"tools/call\",\"params\":{\"name\":\"a\"}}\n",
      link);
  EXPECT_EQ(output, pong("1"));
  EXPECT_TRUE(link.calls.empty());
  // A lone continuation byte in an otherwise blank line ends it too.
  EXPECT_EQ(serve_alone("{\"id\":1,\"method\":\"ping\"}\n \x80\n{\"id\":2,\"method\":\"ping\"}\n"),
            pong("1"));
}

TEST(McpReading, MultiMegabyteRequestIsServedWhole) {
  std::string payload(5 * 1024 * 1024, 'p');
  FakeLink link;
  link.exec = [](std::string_view, const json::JsonValue& args) -> testing::Answer { return args; };
  std::string output =
      serve(R"({"id":7,"method":"tools/call","params":{"name":"echo","arguments":{"s":")" +
                payload + "\"}}}\n" + R"({"id":8,"method":"ping"})",
            link);
  EXPECT_TRUE(output == R"({"id":7,"jsonrpc":"2.0","result":{"content":[{"text":"{\"s\":\")" +
                            payload + R"(\"}","type":"text"}],"isError":false}})" + "\n" +
                            pong("8"));
}

TEST(McpErrors, LinesThatAreNotOneJsonTextGetParseError) {
  for (std::string_view line :
       {"{", "ping", R"({"id":1,"method":"ping"} {"id":2})", R"({"id":1,"method":"ping"}x)",
        "\xC2\xA0{\"id\":1,\"method\":\"ping\"}", "[1,]", "{\"id\":1,\"method\":\"ping\"}\v"}) {
    EXPECT_EQ(serve_alone(std::string(line) + "\n"), kParseErrorLine) << line;
  }
  // JSON white space around the value is fine.
  EXPECT_EQ(serve_alone(" \t{\"id\":1,\"method\":\"ping\"}  \n"), pong("1"));
}

TEST(McpErrors, SessionGoesOnAfterAnError) {
  EXPECT_EQ(
      serve_alone("nope\n{\"id\":1,\"method\":\"nope\"}\n{\"id\":2,\"method\":\"ping\"}\n"),
      std::string(kParseErrorLine) +
          R"({"error":{"code":-32601,"message":"method not found: nope"},"id":1,"jsonrpc":"2.0"})"
          "\n" +
          pong("2"));
}

TEST(McpErrors, UnknownMethodsEchoTheMethodText) {
  EXPECT_EQ(
      serve_alone(R"({"id":"a","method":"Ping"})"),
      R"({"error":{"code":-32601,"message":"method not found: Ping"},"id":"a","jsonrpc":"2.0"})"
      "\n");
  EXPECT_EQ(
      serve_alone(R"({"id":1,"method":"tools/List","params":{}})"),
      R"({"error":{"code":-32601,"message":"method not found: tools/List"},"id":1,"jsonrpc":"2.0"})"
      "\n");
  EXPECT_EQ(
      serve_alone(R"({"id":1,"method":"say \"hi\"\n"})"),
      R"({"error":{"code":-32601,"message":"method not found: say \"hi\"\n"},"id":1,"jsonrpc":"2.0"})"
      "\n");
  constexpr std::string_view kNoMethod =
      R"({"error":{"code":-32601,"message":"method not found: "},"id":1,"jsonrpc":"2.0"})"
      "\n";
  EXPECT_EQ(serve_alone(R"({"id":1})"), kNoMethod);
  EXPECT_EQ(serve_alone(R"({"id":1,"method":7})"), kNoMethod);
  EXPECT_EQ(serve_alone(R"({"id":1,"method":""})"), kNoMethod);
}

TEST(McpRequests, IdsOfEveryJsonTypeAreEchoed) {
  for (std::string_view id :
       {"null", "0", "18446744073709551615", "-9223372036854775808", "-7", "1.5", "1.0",
        "\"req-1\"", "\"\"", "true", "false", "[1,\"a\"]", "{\"a\":[],\"b\":{}}"}) {
    EXPECT_EQ(serve_alone(R"({"method":"ping","id":)" + std::string(id) + "}"), pong(id)) << id;
  }
  // Keys come out sorted, whatever order the client used.
  EXPECT_EQ(serve_alone(R"({"id":{"z":1,"a":2},"method":"ping"})"), pong(R"({"a":2,"z":1})"));
}

TEST(McpRequests, JsonrpcMemberIsNotExamined) {
  EXPECT_EQ(serve_alone(R"({"id":1,"method":"ping"})"), pong("1"));
  EXPECT_EQ(serve_alone(R"({"id":1,"jsonrpc":"1.0","method":"ping"})"), pong("1"));
}

TEST(McpRequests, MessagesWithoutIdGetNoAnswerAndDoNothing) {
  FakeLink link;
  EXPECT_EQ(serve(R"({"jsonrpc":"2.0","method":"notifications/initialized"})"
                  "\n"
                  R"({"jsonrpc":"2.0","method":"notifications/cancelled","params":{"requestId":1}})"
                  "\n"
                  R"({"jsonrpc":"2.0","method":"ping"})"
                  "\n"
                  R"({"method":"tools/call","params":{"name":"launch_brelvo"}})"
                  "\n"
                  R"({"method":"tools/list"})"
                  "\n"
                  R"({"method":"unknown"})"
                  "\n",
                  link),
            "");
  EXPECT_TRUE(link.calls.empty());
}

TEST(McpRequests, BatchesAndBareValuesGetNoAnswer) {
  EXPECT_EQ(serve_alone(R"([{"id":1,"method":"ping"},{"id":2,"method":"ping"}])"
                        "\n[]\n1\n\"ping\"\ntrue\nfalse\nnull\n"),
            "");
}

TEST(McpRequests, FixedAnswers) {
  EXPECT_EQ(serve_alone(R"({"id":1,"method":"ping","params":{"x":1}})"), pong("1"));
  EXPECT_EQ(serve_alone(R"({"id":2,"method":"resources/list"})"),
            R"({"id":2,"jsonrpc":"2.0","result":{"resources":[]}})"
            "\n");
  EXPECT_EQ(serve_alone(R"({"id":3,"method":"prompts/list","params":{"cursor":"x"}})"),
            R"({"id":3,"jsonrpc":"2.0","result":{"prompts":[]}})"
            "\n");
}

TEST(McpRequests, SlowToolCallHoldsTheLinesAfterItUntilAnswered) {
  FakeLink link;
  test_support::UniqueFd input =
      test_support::memory_file(R"({"id":1,"method":"ping"})"
                                "\n"
                                R"({"id":2,"method":"tools/call","params":{"name":"slow"}})"
                                "\n"
                                R"({"id":3,"method":"ping"})"
                                "\n");
  test_support::UniqueFd output = test_support::memory_file("");
  std::string written_during_call;
  link.exec = [&](std::string_view, const json::JsonValue&) -> testing::Answer {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    written_during_call = test_support::memory_file_text(output.get());
    return json::JsonValue("done");
  };
  run_mcp_server(link, 180, input.get(), output.get());

  EXPECT_EQ(written_during_call, pong("1"));
  EXPECT_EQ(
      test_support::memory_file_text(output.get()),
      pong("1") +
          R"({"id":2,"jsonrpc":"2.0","result":{"content":[{"text":"\"done\"","type":"text"}],"isError":false}})"
          "\n" +
          pong("3"));
}

// The initialize answer with the given id and chosen version.
std::string initialize_answer(std::string_view id, std::string_view version) {
  return R"({"id":)" + std::string(id) +
         R"(,"jsonrpc":"2.0","result":{"capabilities":{"tools":{"listChanged":true}},"instructions":")"
         R"(Brelvo is a desktop BIM / IFC viewer running on the user's computer; these tools drive the live app the user is looking at.\n)"
         R"(- Start with list_models / get_model_summary to see what is open. If nothing is open, open_file takes a path on this computer. If Brelvo is not running, call launch_brelvo.\n)"
         R"(- Find elements with find_elements / filter_elements; act on them with hide_elements, isolate_elements, select_elements, color_elements, xray_elements, set_section. Element ids are global ids from those results.\n)"
         R"(- Look at the result with screenshot: it returns an image of the current 3D view.\n)"
         R"(- Edits to the model (set_property, set_attribute, retype_element, delete_element) are undoable with undo_edit; tell the user what you changed.\n)"
         R"(- Results are capped to stay small; ask narrower questions rather than requesting everything.)"
         R"(","protocolVersion":")" +
         std::string(version) +
         R"(","serverInfo":{"name":"brelvo","title":"Brelvo Desktop","version":"3.0.0"}}})" + "\n";
}

TEST(McpInitialize, AnswerLineIsExact) {
  EXPECT_EQ(kInstructions.size(), 828u);
  EXPECT_EQ(serve_alone(R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{)"
                        R"("protocolVersion":"2025-06-18","capabilities":{"roots":{}},)"
                        R"("clientInfo":{"name":"c","version":"1"}}})"),
            initialize_answer("0", "2025-06-18"));
}

TEST(McpInitialize, SupportedVersionsAreAnsweredWithThemselves) {
  for (std::string_view version : kProtocolVersions) {
    EXPECT_EQ(serve_alone(R"({"id":1,"method":"initialize","params":{"protocolVersion":")" +
                          std::string(version) + "\"}}"),
              initialize_answer("1", version));
  }
}

TEST(McpInitialize, AnythingElseGetsTheNewestVersion) {
  for (std::string_view params :
       {R"({"protocolVersion":"2099-01-01"})", R"({"protocolVersion":"2024-01-01"})",
        R"({"protocolVersion":" 2024-11-05"})", R"({"protocolVersion":20241105})",
        R"({"protocolVersion":null})", R"({})", R"([])", R"("2024-11-05")", "null"}) {
    EXPECT_EQ(serve_alone(R"({"id":1,"method":"initialize","params":)" + std::string(params) + "}"),
              initialize_answer("1", "2025-06-18"))
        << params;
  }
  EXPECT_EQ(serve_alone(R"({"id":1,"method":"initialize"})"), initialize_answer("1", "2025-06-18"));
}

TEST(McpInitialize, IsOptionalAndRepeatable) {
  std::string initialize =
      R"({"id":1,"method":"initialize","params":{"protocolVersion":"2024-11-05"}})";
  EXPECT_EQ(
      serve_alone(R"({"id":0,"method":"ping"})"
                  "\n" +
                  initialize + "\n" + initialize + "\n"),
      pong("0") + initialize_answer("1", "2024-11-05") + initialize_answer("1", "2024-11-05"));
}

}  // namespace
}  // namespace brelvo::mcp
