// Turning application results and control-link failures into tool results.
#include "mcp/tool_result.h"

#include <gtest/gtest.h>

#include "json/json_text.h"
#include "serve.h"

namespace brelvo::mcp {
namespace {

using bridge::BridgeError;
using json::to_compact_text;
using testing::parse;

std::string relayed(std::string_view result) {
  return to_compact_text(relay_result(parse(result)));
}

TEST(McpRelayResult, TextItemHoldsTheCompactSortedResult) {
  EXPECT_EQ(relayed(R"({ "b" : [1, 2.5, {"y":null,"x":true}], "a" : "é\n" })"),
            R"({"content":[{"text":"{\"a\":\"é\\n\",\"b\":[1,2.5,{\"x\":true,\"y\":null}]}",)"
            R"("type":"text"}],"isError":false})");
  EXPECT_EQ(relayed("{}"), R"({"content":[{"text":"{}","type":"text"}],"isError":false})");
}

TEST(McpRelayResult, ImageBecomesItsOwnItem) {
  EXPECT_EQ(relayed(R"({"imageBase64":"iVBORw0K","width":3})"),
            R"({"content":[{"text":"{\"width\":3}","type":"text"},)"
            R"({"data":"iVBORw0K","mimeType":"image/png","type":"image"}],"isError":false})");
  EXPECT_EQ(relayed(R"({"imageBase64":"/9j/","mimeType":"image/jpeg"})"),
            R"({"content":[{"text":"{}","type":"text"},)"
            R"({"data":"/9j/","mimeType":"image/jpeg","type":"image"}],"isError":false})");
  // Neither decoded nor checked; an empty type is the application's choice.
  EXPECT_EQ(relayed(R"({"imageBase64":"not base64!","mimeType":""})"),
            R"({"content":[{"text":"{}","type":"text"},)"
            R"({"data":"not base64!","mimeType":"","type":"image"}],"isError":false})");
  EXPECT_EQ(relayed(R"({"imageBase64":"AA==","mimeType":5})"),
            R"({"content":[{"text":"{}","type":"text"},)"
            R"({"data":"AA==","mimeType":"image/png","type":"image"}],"isError":false})");
}

TEST(McpRelayResult, ImageThatIsNotAStringIsDroppedAndLeavesMimeType) {
  EXPECT_EQ(relayed(R"({"imageBase64":null,"mimeType":"image/jpeg","n":1})"),
            R"({"content":[{"text":"{\"mimeType\":\"image/jpeg\",\"n\":1}","type":"text"}],)"
            R"("isError":false})");
  EXPECT_EQ(relayed(R"({"imageBase64":["AA=="]})"),
            R"({"content":[{"text":"{}","type":"text"}],"isError":false})");
  EXPECT_EQ(relayed(R"({"mimeType":"image/jpeg"})"),
            R"({"content":[{"text":"{\"mimeType\":\"image/jpeg\"}","type":"text"}],)"
            R"("isError":false})");
}

TEST(McpRelayResult, AnErrorMemberOfAnyValueMarksTheResult) {
  EXPECT_EQ(relayed(R"({"error":null})"),
            R"({"content":[{"text":"{\"error\":null}","type":"text"}],"isError":true})");
  EXPECT_EQ(relayed(R"({"error":"no such element","imageBase64":"AA=="})"),
            R"({"content":[{"text":"{\"error\":\"no such element\"}","type":"text"},)"
            R"({"data":"AA==","mimeType":"image/png","type":"image"}],"isError":true})");
}

TEST(McpRelayResult, ResultsThatAreNotObjectsAreWrittenAsThey) {
  EXPECT_EQ(relayed(R"([{"error":1},{"imageBase64":"AA=="}])"),
            R"({"content":[{"text":"[{\"error\":1},{\"imageBase64\":\"AA==\"}]","type":"text"}],)"
            R"("isError":false})");
  EXPECT_EQ(relayed(R"("error")"),
            R"({"content":[{"text":"\"error\"","type":"text"}],"isError":false})");
  EXPECT_EQ(relayed("-12"), R"({"content":[{"text":"-12","type":"text"}],"isError":false})");
  EXPECT_EQ(relayed("true"), R"({"content":[{"text":"true","type":"text"}],"isError":false})");
  EXPECT_EQ(relayed("null"), R"({"content":[{"text":"null","type":"text"}],"isError":false})");
}

TEST(McpRelayResult, LargeImageDataIsMovedNotCopied) {
  json::JsonValue result = json::JsonObject{};
  result.insert("imageBase64", std::string(8 * 1024 * 1024, 'A'));
  const char* original = result.get("imageBase64")->as_string()->data();
  json::JsonValue relayed_result = relay_result(std::move(result));
  const json::JsonArray* content = relayed_result.get("content")->as_array();
  ASSERT_EQ(content->size(), 2u);
  EXPECT_EQ((*content)[1].get("data")->as_string()->data(), original);
}

std::string failure_text(const BridgeError& error) {
  return to_compact_text(failure_content(error));
}

std::string failure_line(std::string_view text) {
  return R"({"content":[{"text":")" + std::string(text) + R"(","type":"text"}],"isError":true})";
}

TEST(McpFailureContent, AdviceDependsOnKindAndCode) {
  EXPECT_EQ(failure_text(BridgeError::not_running("Brelvo is not running.")),
            failure_line("Brelvo is not running. Call launch_brelvo to start it."));
  EXPECT_EQ(failure_text(BridgeError::coded("not_ready", "still loading")),
            failure_line("still loading Wait a few seconds and retry."));
  EXPECT_EQ(failure_text(BridgeError::coded("Not_Ready", "still loading")),
            failure_line("still loading"));
  EXPECT_EQ(failure_text(BridgeError::coded("timeout", "tool took too long")),
            failure_line("tool took too long"));
  EXPECT_EQ(failure_text(BridgeError::coded("not_running", "odd")), failure_line("odd"));
  EXPECT_EQ(failure_text(BridgeError::timeout("no answer in 5 s")),
            failure_line("no answer in 5 s"));
  EXPECT_EQ(failure_text(BridgeError::io("bad response: \"x\"")),
            failure_line(R"(bad response: \"x\")"));
  EXPECT_EQ(failure_text(BridgeError::io("")), failure_line(""));
  EXPECT_EQ(failure_text(BridgeError::not_running("")), failure_line(std::string(kLaunchAdvice)));
}

}  // namespace
}  // namespace brelvo::mcp
