// tools/list and tools/call through a whole session against a fake
// application.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mcp/mcp_server.h"
#include "serve.h"
#include "support/fd_io.h"

namespace brelvo::mcp {
namespace {

using bridge::BridgeError;
using testing::Answer;
using testing::FakeLink;
using testing::parse;
using testing::serve;
using Calls = std::vector<std::string>;

constexpr std::string_view kLaunchRecord =
    R"({"description":"Start Brelvo Desktop if it is not running and wait until it is ready. )"
    R"(Returns the app version. Call this when other tools report that Brelvo is not running.",)"
    R"("inputSchema":{"properties":{},"type":"object"},"name":"launch_brelvo"})";

constexpr std::string_view kListChangedLine =
    R"({"jsonrpc":"2.0","method":"notifications/tools/list_changed"})"
    "\n";

constexpr std::string_view kListTools = R"({"id":1,"method":"tools/list"})"
                                        "\n";
constexpr std::string_view kLaunch =
    R"({"id":2,"method":"tools/call","params":{"name":"launch_brelvo","arguments":{"x":1}}})"
    "\n";

const std::string kCatalogue =
    R"([{"name":"find_elements","inputSchema":{"type":"object"},"description":"Find."},)"
    R"({"name":"launch_brelvo"},7])";

std::string tools_answer(std::string_view id, std::string_view relayed_tools) {
  return R"({"id":)" + std::string(id) + R"(,"jsonrpc":"2.0","result":{"tools":[)" +
         std::string(kLaunchRecord) + std::string(relayed_tools) + "]}}\n";
}

// A tools/call answer with one text item; the text is given as it appears
// inside the JSON string.
std::string text_answer(std::string_view id, std::string_view text, bool is_error) {
  return R"({"id":)" + std::string(id) + R"(,"jsonrpc":"2.0","result":{"content":[{"text":")" +
         std::string(text) + R"(","type":"text"}],"isError":)" + (is_error ? "true" : "false") +
         "}}\n";
}

std::string launched_answer(std::string_view app) {
  return text_answer("2", R"({\"app\":)" + std::string(app) + R"(,\"ok\":true})", false);
}

std::string call_line(std::string_view params) {
  return R"({"id":5,"method":"tools/call","params":)" + std::string(params) + "}\n";
}

TEST(McpToolsList, WithoutTheApplicationOnlyLaunchIsListed) {
  FakeLink link;
  McpServer server(link, 180, -1);
  server.handle_message(parse(R"({"id":1,"method":"tools/list"})"));
  EXPECT_FALSE(server.tools_relayed());
  EXPECT_EQ(serve(kListTools, link), tools_answer("1", ""));
  EXPECT_EQ(link.calls, (Calls{"request commands null 10", "request commands null 10"}));
}

TEST(McpToolsList, TheApplicationsCatalogueFollowsUnchanged) {
  FakeLink link;
  link.commands = parse(kCatalogue);
  EXPECT_EQ(serve(std::string(kListTools) + "{\"id\":\"b\",\"method\":\"tools/list\",\"params\":"
                                            "{\"cursor\":\"c\"}}\n",
                  link),
            tools_answer("1", R"(,{"description":"Find.","inputSchema":{"type":"object"},)"
                              R"("name":"find_elements"},{"name":"launch_brelvo"},7)") +
                tools_answer("\"b\"", R"(,{"description":"Find.","inputSchema":{"type":"object"},)"
                                      R"("name":"find_elements"},{"name":"launch_brelvo"},7)"));
}

TEST(McpToolsList, RelayedFlagFollowsTheLatestList) {
  FakeLink link;
  McpServer server(link, 180, -1);
  json::JsonValue list = parse(kListTools);
  link.commands = parse("[]");
  server.handle_message(list);
  EXPECT_TRUE(server.tools_relayed());
  link.commands = parse(R"({"tools":[]})");
  server.handle_message(list);
  EXPECT_FALSE(server.tools_relayed());
  link.commands = parse("[]");
  server.handle_message(list);
  link.commands = std::unexpected(BridgeError::timeout("no answer"));
  server.handle_message(list);
  EXPECT_FALSE(server.tools_relayed());
}

TEST(McpToolsCall, RelaysNameArgumentsAndTheToolTimeout) {
  FakeLink link;
  link.exec = [](std::string_view, const json::JsonValue&) -> Answer {
    return parse(R"({"count":2,"ids":["a","b"]})");
  };
  EXPECT_EQ(serve(call_line(R"({"name":"find_elements","arguments":{"type":"IfcWall","n":1.5}})"),
                  link, 30),
            text_answer("5", R"({\"count\":2,\"ids\":[\"a\",\"b\"]})", false));
  EXPECT_EQ(link.calls, (Calls{R"(exec find_elements {"n":1.5,"type":"IfcWall"} 30)"}));
}

TEST(McpToolsCall, ArgumentsThatAreNotAnObjectBecomeEmpty) {
  FakeLink link;
  for (std::string_view params :
       {R"({"name":"t","arguments":[1]})", R"({"name":"t","arguments":"a=b"})",
        R"({"name":"t","arguments":null})", R"({"name":"t"})"}) {
    serve(call_line(params), link);
  }
  EXPECT_EQ(link.calls, Calls(4, "exec t {} 180"));
}

TEST(McpToolsCall, MissingOrOddNameIsRelayedAsEmpty) {
  FakeLink link;
  serve(R"({"id":5,"method":"tools/call"})"
        "\n" +
            call_line(R"({"name":7,"arguments":{"a":1}})") + call_line("[]") +
            call_line(R"({"name":"Launch_brelvo"})"),
        link);
  EXPECT_EQ(link.calls, (Calls{"exec  {} 180", R"(exec  {"a":1} 180)", "exec  {} 180",
                               "exec Launch_brelvo {} 180"}));
}

TEST(McpToolsCall, ImageResultGivesTextThenImageItem) {
  FakeLink link;
  link.exec = [](std::string_view, const json::JsonValue&) -> Answer {
    return parse(R"({"imageBase64":"iVBORw0KGgo=","width":640,"height":480})");
  };
  EXPECT_EQ(serve(call_line(R"({"name":"screenshot"})"), link),
            R"({"id":5,"jsonrpc":"2.0","result":{"content":[)"
            R"({"text":"{\"height\":480,\"width\":640}","type":"text"},)"
            R"({"data":"iVBORw0KGgo=","mimeType":"image/png","type":"image"}],"isError":false}})"
            "\n");
}

TEST(McpToolsCall, ToolErrorsAndLinkFailuresAreToolResults) {
  FakeLink link;
  link.exec = [](std::string_view tool, const json::JsonValue&) -> Answer {
    if (tool == "fails") return parse(R"({"error":"no such element"})");
    if (tool == "loading") return std::unexpected(BridgeError::coded("not_ready", "loading"));
    return std::unexpected(BridgeError::not_running("Brelvo is not running."));
  };
  EXPECT_EQ(serve(call_line(R"({"name":"fails"})") + call_line(R"({"name":"loading"})") +
                      call_line(R"({"name":"down"})"),
                  link),
            text_answer("5", R"({\"error\":\"no such element\"})", true) +
                text_answer("5", "loading Wait a few seconds and retry.", true) +
                text_answer("5", "Brelvo is not running. Call launch_brelvo to start it.", true));
}

TEST(McpLaunch, NotifiesBeforeTheAnswerWhileToolsAreNotRelayed) {
  FakeLink link;
  link.ping = parse(R"({"ready":true,"version":"1.2.0"})");
  EXPECT_EQ(serve(std::string(kLaunch) + std::string(kLaunch), link),
            std::string(kListChangedLine) +
                launched_answer(R"({\"ready\":true,\"version\":\"1.2.0\"})") +
                std::string(kListChangedLine) +
                launched_answer(R"({\"ready\":true,\"version\":\"1.2.0\"})"));
  EXPECT_EQ(link.calls, (Calls{"launch", "request ping null 5", "launch", "request ping null 5"}));
}

TEST(McpLaunch, NoNotificationOnceTheCatalogueWasListed) {
  FakeLink link;
  link.ping = parse("true");
  link.commands = parse(kCatalogue);
  std::string output = serve(std::string(kListTools) + std::string(kLaunch), link);
  EXPECT_EQ(output.substr(output.find('\n') + 1), launched_answer("true"));
}

TEST(McpLaunch, NotifiesAgainOnceAListFoundTheApplicationGone) {
  FakeLink link;
  link.ping = parse("true");
  link.commands = parse("[]");
  test_support::UniqueFd output = test_support::memory_file("");
  McpServer server(link, 180, output.get());
  server.handle_message(parse(kListTools));
  server.handle_message(parse(kLaunch));
  link.commands = std::unexpected(BridgeError::not_running("closed"));
  server.handle_message(parse(kListTools));
  server.handle_message(parse(kLaunch));
  EXPECT_EQ(test_support::memory_file_text(output.get()),
            tools_answer("1", "") + launched_answer("true") + tools_answer("1", "") +
                std::string(kListChangedLine) + launched_answer("true"));
}

TEST(McpLaunch, FailedPingStillSucceedsWithNullApp) {
  FakeLink link;
  link.ping = std::unexpected(BridgeError::timeout("no answer"));
  EXPECT_EQ(serve(kLaunch, link), std::string(kListChangedLine) + launched_answer("null"));
}

TEST(McpLaunch, FailedLaunchIsAToolErrorWithoutNotification) {
  FakeLink link;
  link.launched = std::unexpected(BridgeError::not_running("Brelvo Desktop executable not found"));
  EXPECT_EQ(serve(kLaunch, link),
            text_answer("2", "Brelvo Desktop executable not found Call launch_brelvo to start it.",
                        true));
  link.launched = std::unexpected(BridgeError::timeout("not ready after 120 s"));
  EXPECT_EQ(serve(kLaunch, link), text_answer("2", "not ready after 120 s", true));
  EXPECT_EQ(link.calls, (Calls{"launch", "launch"}));
}

}  // namespace
}  // namespace brelvo::mcp
