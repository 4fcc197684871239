#include "main/tool_results.h"

#include <gtest/gtest.h>

#include "json/json_parse.h"
#include "json/json_text.h"

namespace brelvo::cli {
namespace {

std::string checked(std::string_view answer) {
  auto result = check_tool_result(*json::parse_json(answer));
  return result ? json::to_compact_text(*result)
                : result.error().code() + ": " + result.error().message();
}

TEST(CheckToolResult, ErrorMemberOfAnyValueIsAToolFailure) {
  EXPECT_EQ(checked(R"({"error":null})"), "tool_failed: null");
  EXPECT_EQ(checked(R"({"error":"no model","imageBase64":"QQ=="})"), "tool_failed: no model");
  EXPECT_EQ(checked(R"({"error":{"b":1,"a":"x"}})"), R"(tool_failed: {"a":"x","b":1})");
  EXPECT_EQ(checked(R"([{"error":1}])"), R"([{"error":1}])");
  EXPECT_EQ(checked("null"), "null");
}

TEST(StripImages, TopLevelStringImageBecomesSizeAndNote) {
  json::JsonValue answer = json::JsonObject{};
  answer.insert("imageBase64", std::string(1000, 'A'));
  answer.insert("mimeType", "image/png");
  EXPECT_EQ(
      json::to_compact_text(strip_images(answer)),
      R"({"imageBytes":750,"mimeType":"image/png","note":"image omitted; use `brelvo-cli screenshot --out FILE.png`"})");
  EXPECT_EQ(
      checked(R"({"imageBase64":"QQ=="})"),
      R"({"imageBytes":3,"note":"image omitted; use `brelvo-cli screenshot --out FILE.png`"})");
}

TEST(StripImages, OtherImagesAreDroppedOrLeftNested) {
  EXPECT_EQ(checked(R"({"imageBase64":5,"x":1})"), R"({"x":1})");
  EXPECT_EQ(checked(R"({"inner":{"imageBase64":"QQ=="}})"), R"({"inner":{"imageBase64":"QQ=="}})");
  EXPECT_EQ(checked(R"("imageBase64")"), R"("imageBase64")");
}

}  // namespace
}  // namespace brelvo::cli
