#include "json/json_parse.h"

#include <gtest/gtest.h>

#include "json/json_text.h"

namespace brelvo::json {
namespace {

// The whole error message, or "ok: " and the compact text of the value.
std::string outcome(std::string_view text) {
  auto value = parse_json(text);
  return value ? "ok: " + to_compact_text(*value) : value.error().message();
}

struct Case {
  std::string text;
  std::string expected;
};

void expect_all(const std::vector<Case>& cases) {
  for (const auto& c : cases) EXPECT_EQ(outcome(c.text), c.expected) << "input: " << c.text;
}

TEST(ParseErrors, EndOfText) {
  expect_all({
      {"", "EOF while parsing a value at line 1 column 0"},
      {"  ", "EOF while parsing a value at line 1 column 2"},
      {"[1\n", "EOF while parsing a list at line 2 column 0"},
      {"[", "EOF while parsing a list at line 1 column 1"},
      {"[1,", "EOF while parsing a value at line 1 column 3"},
      {"{", "EOF while parsing an object at line 1 column 1"},
      {"{\"a\"", "EOF while parsing an object at line 1 column 4"},
      {"{\"a\":1", "EOF while parsing an object at line 1 column 6"},
      {"{\"a\":1,", "EOF while parsing a value at line 1 column 7"},
      {"{\"a\":", "EOF while parsing a value at line 1 column 5"},
      {"\"abc", "EOF while parsing a string at line 1 column 4"},
      {"\"\\u12", "EOF while parsing a string at line 1 column 5"},
      {"\"\\", "EOF while parsing a string at line 1 column 2"},
      {"tru", "EOF while parsing a value at line 1 column 3"},
      {"-", "EOF while parsing a value at line 1 column 1"},
      {"1.", "EOF while parsing a value at line 1 column 2"},
      {"1e+", "EOF while parsing a value at line 1 column 3"},
  });
}

TEST(ParseErrors, UnexpectedBytes) {
  expect_all({
      {"\xEF\xBB\xBF{}", "expected value at line 1 column 1"},
      {"[1,]", "trailing comma at line 1 column 4"},
      {"{\"a\":1,}", "trailing comma at line 1 column 8"},
      {"{\"a\" 1}", "expected `:` at line 1 column 6"},
      {"{1:2}", "key must be a string at line 1 column 2"},
      {"{\"a\":1,2}", "key must be a string at line 1 column 8"},
      {"[1 2]", "expected `,` or `]` at line 1 column 4"},
      {"{\"a\":1 2}", "expected `,` or `}` at line 1 column 8"},
      {"1 2", "trailing characters at line 1 column 3"},
      {"1x", "trailing characters at line 1 column 2"},
      {"[1x]", "expected `,` or `]` at line 1 column 3"},
      {"trux", "expected ident at line 1 column 4"},
      {"nul", "EOF while parsing a value at line 1 column 3"},
      {"]", "expected value at line 1 column 1"},
      {"\n\n  @", "expected value at line 3 column 3"},
      {"\r\n@", "expected value at line 2 column 1"},
      {"[\"a\"\r,]", "trailing comma at line 1 column 7"},
  });
}

TEST(ParseErrors, Numbers) {
  expect_all({
      {"01", "invalid number at line 1 column 2"},
      {"-00", "invalid number at line 1 column 3"},
      {"-a", "invalid number at line 1 column 2"},
      {"1.e5", "invalid number at line 1 column 3"},
      {"1ex", "invalid number at line 1 column 3"},
      {"1e400", "number out of range at line 1 column 5"},
      {"[-1.5e999]", "number out of range at line 1 column 9"},
      {"+1", "expected value at line 1 column 1"},
  });
}

TEST(ParseErrors, Strings) {
  expect_all({
      {"\"a\tb\"",
       "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 3"},
      {"\"\\x\"", "invalid escape at line 1 column 3"},
      {"\"\\u12G4\"", "invalid escape at line 1 column 7"},
      {"\"\\uD800\"", "unexpected end of hex escape at line 1 column 8"},
      {"\"\\uD800\\n\"", "unexpected end of hex escape at line 1 column 9"},
      {"\"\\uD800\\u0041\"", "lone leading surrogate in hex escape at line 1 column 13"},
      {"\"\\uDC00\"", "lone leading surrogate in hex escape at line 1 column 7"},
      {"\"\\uD800", "EOF while parsing a string at line 1 column 7"},
      {"\"\\uD800\\", "EOF while parsing a string at line 1 column 8"},
  });
}

TEST(ParseErrors, NestingLimit) {
  std::string ok = std::string(127, '[') + std::string(127, ']');
  EXPECT_TRUE(parse_json(ok));
  std::string too_deep = std::string(128, '[') + std::string(128, ']');
  EXPECT_EQ(outcome(too_deep), "recursion limit exceeded at line 1 column 128");
  std::string mixed;
  for (int i = 0; i < 64; ++i) mixed += "{\"a\":[";
  EXPECT_EQ(outcome(mixed), "recursion limit exceeded at line 1 column 384");
  // Closed containers give their budget back.
  std::string siblings = "[" + std::string(126, '[') + std::string(126, ']') + "," +
                         std::string(126, '[') + std::string(126, ']') + "]";
  EXPECT_TRUE(parse_json(siblings));
}

TEST(ParseValues, NumberKinds) {
  expect_all({
      {"18446744073709551615", "ok: 18446744073709551615"},
      {"18446744073709551616", "ok: 1.8446744073709552e+19"},
      {"-9223372036854775808", "ok: -9223372036854775808"},
      {"-9223372036854775809", "ok: -9.223372036854776e+18"},
      {"-0", "ok: -0.0"},
      {"-0.0", "ok: -0.0"},
      {"1e2", "ok: 100.0"},
      {"1.0", "ok: 1.0"},
      {"1E+2", "ok: 100.0"},
      {"1e-400", "ok: 0.0"},
      {"-1e-400", "ok: -0.0"},
      {"0.0000e999", "ok: 0.0"},
      {"4.9e-324", "ok: 5e-324"},
      {"0.1", "ok: 0.1"},
      {"123456789012345678901234567890", "ok: 1.2345678901234568e+29"},
  });
}

TEST(ParseValues, StringsAndEscapes) {
  expect_all({
      {R"("\ud83d\ude00")", "ok: \"\xF0\x9F\x98\x80\""},
      {R"("\u00e9\u0000\/")", "ok: \"\xC3\xA9\\u0000/\""},
      {R"("a\tb")", R"(ok: "a\tb")"},
      {"\"\x7f\xC3\xA9\"", "ok: \"\x7f\xC3\xA9\""},
  });
}

TEST(ParseValues, ObjectsKeepTheLastOfRepeatedKeys) {
  expect_all({
      {R"({"b":1,"a":2,"b":3})", R"(ok: {"a":2,"b":3})"},
      {" [ 1 , { } , [ ] ] \r\n", "ok: [1,{},[]]"},
      {"true", "ok: true"},
  });
}

// Escaped keys order by their decoded bytes; values that lose to a later
// repeat of their key are dropped whatever their kind, and escaped strings
// land next to plain ones in the same container.
TEST(ParseValues, EscapedKeysAndDroppedRepeats) {
  expect_all({
      {R"({"b":[1],"\u0061":{"x":1},"b":{"y":"\n"},"a\u0000":3,"\u0062":"b"})",
       R"(ok: {"a":{"x":1},"a\u0000":3,"b":"b"})"},
      {R"({"k":{"deep":[{"k":1}]},"k":"t\"x","k":["a\/b","c"]})", R"(ok: {"k":["a/b","c"]})"},
      {R"(["p\u00e9",{"\u00e9":"e"},"q"])", "ok: [\"p\xC3\xA9\",{\"\xC3\xA9\":\"e\"},\"q\"]"},
  });
}

// Siblings of different sizes at one depth, and objects nested in members
// of objects: each container gets exactly its own elements and members.
TEST(ParseValues, SiblingContainersOfDifferentSizes) {
  expect_all({
      {"[[1,2,3],[4],[5,6,7,8,9],[],[10,11]]", "ok: [[1,2,3],[4],[5,6,7,8,9],[],[10,11]]"},
      {R"([{"b":1,"a":{"d":[{"y":1,"x":2}],"c":3}},{"z":{}},{}])",
       R"(ok: [{"a":{"c":3,"d":[{"x":2,"y":1}]},"b":1},{"z":{}},{}])"},
      {R"({"a":[1,{"k":[2,3]},[4,[5]]],"b":[]})", R"(ok: {"a":[1,{"k":[2,3]},[4,[5]]],"b":[]})"},
  });
}

// Taking the text gives the same value as reading it, wherever a string
// that is most of the text stands: the whole text, an element, a member,
// a repeated key's winner or loser; with escapes (decoded, so copied); and
// when no string is long enough. The value keeps its bytes through copies,
// moves and comparisons.
TEST(ParseValues, TakingTheTextGivesTheSameValue) {
  const std::string big(3 << 20, 'x');
  const std::string texts[] = {
      '"' + big + '"',
      "[1,\"" + big + "\",2]",
      R"({"a":{"text":")" + big + R"("},"b":true})",
      R"({"k":"lost","k":")" + big + R"("})",
      R"({"k":")" + big + R"(","k":"won"})",
      R"(["\n)" + big + R"("])",
      R"(["short","also short"])",
      R"([")" + big.substr(0, 2 << 20) + R"(",")" + big.substr(0, 2 << 20) + R"("])",
  };
  for (const std::string& text : texts) {
    const auto read = parse_json(text);
    auto taken = parse_json_taking(std::string(text));
    ASSERT_TRUE(read && taken) << text.substr(0, 40);
    EXPECT_EQ(*taken, *read) << text.substr(0, 40);
    EXPECT_EQ(to_compact_text(*taken), to_compact_text(*read));
    const JsonValue copy = *taken;
    JsonValue moved = std::move(*taken);
    EXPECT_EQ(copy, moved);
    EXPECT_EQ(moved, *read);
  }
  // The long string is the text's own bytes, where they were: no second
  // copy was made.
  std::string text = "[\"" + big + "\"]";
  const char* string_start = text.data() + 2;
  const auto taken = parse_json_taking(std::move(text));
  ASSERT_TRUE(taken);
  EXPECT_EQ((*taken->as_array())[0].as_string()->data(), string_start);
}

}  // namespace
}  // namespace brelvo::json
