#include "json/json_text.h"

#include <gtest/gtest.h>

#include <limits>

#include "json/json_parse.h"

namespace brelvo::json {
namespace {

std::string float_text(double d) {
  return to_compact_text(JsonValue(d));
}

TEST(NumberText, Integers) {
  EXPECT_EQ(to_compact_text(JsonValue(std::numeric_limits<std::uint64_t>::max())),
            "18446744073709551615");
  EXPECT_EQ(to_compact_text(JsonValue(std::numeric_limits<std::int64_t>::min())),
            "-9223372036854775808");
  EXPECT_EQ(to_compact_text(JsonValue(0)), "0");
}

TEST(NumberText, FloatsInFixedRange) {
  EXPECT_EQ(float_text(0.0), "0.0");
  EXPECT_EQ(float_text(-0.0), "-0.0");
  EXPECT_EQ(float_text(1.0), "1.0");
  EXPECT_EQ(float_text(100.0), "100.0");
  EXPECT_EQ(float_text(123.456), "123.456");
  EXPECT_EQ(float_text(0.001), "0.001");
  EXPECT_EQ(float_text(1e-5), "0.00001");
  EXPECT_EQ(float_text(1e15), "1000000000000000.0");
  EXPECT_EQ(float_text(-2.5), "-2.5");
  EXPECT_EQ(float_text(0.1), "0.1");
}

TEST(NumberText, FloatsInExponentRange) {
  EXPECT_EQ(float_text(1e16), "1e+16");
  EXPECT_EQ(float_text(1.5e-7), "1.5e-7");
  EXPECT_EQ(float_text(1e-6), "1e-6");
  EXPECT_EQ(float_text(std::numeric_limits<double>::denorm_min()), "5e-324");
  EXPECT_EQ(float_text(std::numeric_limits<double>::max()), "1.7976931348623157e+308");
  EXPECT_EQ(float_text(18446744073709551616.0), "1.8446744073709552e+19");
}

TEST(StringText, Escapes) {
  EXPECT_EQ(to_compact_text(JsonValue("\x1f/\x7f\xC3\xA9")), "\"\\u001f/\x7f\xC3\xA9\"");
  EXPECT_EQ(to_compact_text(JsonValue("\"\\\b\f\n\r\t")), R"("\"\\\b\f\n\r\t")");
  EXPECT_EQ(to_compact_text(JsonValue(std::string("\0\x1b", 2))), R"("\u0000\u001b")");
}

TEST(CompactText, ObjectsAndArrays) {
  JsonValue value = JsonObject{};
  value.insert("b", JsonArray{1, 2.5});
  value.insert("a", "x");
  EXPECT_EQ(to_compact_text(value), R"({"a":"x","b":[1,2.5]})");
  EXPECT_EQ(to_compact_text(JsonArray{}), "[]");
  EXPECT_EQ(to_compact_text(JsonObject{}), "{}");
  EXPECT_EQ(to_compact_text(JsonValue(nullptr)), "null");
}

TEST(IndentedText, NestedLayout) {
  JsonValue value = JsonObject{};
  value.insert("b", JsonObject{});
  value.insert("a", JsonArray{1, 2});
  EXPECT_EQ(to_indented_text(value), "{\n  \"a\": [\n    1,\n    2\n  ],\n  \"b\": {}\n}");
  EXPECT_EQ(to_indented_text(JsonArray{JsonArray{}}), "[\n  []\n]");
  EXPECT_EQ(to_indented_text(JsonArray{}), "[]");
  EXPECT_EQ(to_indented_text(JsonValue("a\nb")), R"("a\nb")");
}

TEST(TextRoundTrip, BothFormsParseBackToTheSameValue) {
  const char* texts[] = {R"({"k":[1,-2,3.5,-0.0,1e300,"\u0000é\ud83d\ude00",{"":null}],"a":true})",
                         "18446744073709551616", "[[],{},[[]]]", "5e-324", "-9223372036854775809"};
  for (const char* text : texts) {
    auto value = parse_json(text);
    ASSERT_TRUE(value) << text;
    EXPECT_EQ(parse_json(to_compact_text(*value)), *value) << text;
    EXPECT_EQ(parse_json(to_indented_text(*value)), *value) << text;
  }
}

}  // namespace
}  // namespace brelvo::json
