#include "json/json_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "json/internal/shortest_digits.h"
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

// Handed over in pieces, the text is the same as made whole, whatever the
// pieces: small documents, many pieces, long strings (handed over as they
// are) with escapes inside and at their ends.
TEST(IndentedText, WrittenInPiecesIsTheWholeText) {
  JsonArray many;
  for (int i = 0; i < 20'000; ++i) many.push_back(JsonArray{i, 0.5, "x"});
  std::string long_text(200'000, 'a');
  long_text[70'000] = '\n';
  long_text[199'999] = '"';
  JsonValue with_long_strings = JsonObject{};
  with_long_strings.insert("image", long_text);
  with_long_strings.insert("tail", std::string(40'000, 'b') + "\x01");
  const JsonValue values[] = {JsonValue(nullptr), JsonValue(JsonArray{1, "two"}), many,
                              JsonValue(long_text), with_long_strings};
  for (const JsonValue& value : values) {
    std::string pieces;
    int count = 0;
    EXPECT_TRUE(write_indented_text(value, "\n", [&](std::string_view piece) {
      pieces += piece;
      return ++count > 0;
    }));
    EXPECT_EQ(pieces, to_indented_text(value) + "\n");
  }
  // A refused piece stops the printing: nothing is handed over after it.
  int handed = 0;
  EXPECT_FALSE(write_indented_text(many, "\n", [&](std::string_view) { return ++handed < 2; }));
  EXPECT_EQ(handed, 2);
}

// Shortest digits d1..dn and decimal exponent e (|d| = d1.d2...dn x 10^e)
// as the standard library gives them.
struct Scientific {
  std::string digits;
  int exponent;
};

Scientific library_scientific(double d) {
  char buffer[64];
  const std::string text(buffer, std::to_chars(buffer, buffer + sizeof buffer, std::fabs(d),
                                               std::chars_format::scientific)
                                     .ptr);
  const std::size_t e_mark = text.find('e');
  std::string digits = text.substr(0, e_mark);
  if (digits.size() > 1) digits.erase(1, 1);
  return {digits, std::stoi(text.substr(e_mark + 1))};
}

// The layout rule spelled out on strings: shortest digits, fixed notation
// for decimal exponents -5 to 15, else d[.ddd]e[+-]x.
std::string reference_float_text(double d) {
  const auto [digits, e] = library_scientific(d);
  const int n = static_cast<int>(digits.size());
  std::string text = std::signbit(d) ? "-" : "";
  if (d == 0.0) return text + "0.0";
  if (e < -5 || e > 15) {
    text += digits.substr(0, 1);
    if (n > 1) text += "." + digits.substr(1);
    return text + (e < 0 ? "e-" : "e+") + std::to_string(std::abs(e));
  }
  if (e >= n - 1) return text + digits + std::string(e - n + 1, '0') + ".0";
  if (e >= 0) return text + digits.substr(0, e + 1) + "." + digits.substr(e + 1);
  return text + "0." + std::string(-e - 1, '0') + digits;
}

// Every digit count at every decimal exponent around both edges of the fixed
// range, and random bit patterns: the text follows the rule and reads back
// to the same double.
TEST(NumberText, FloatsFollowTheLayoutRuleAndReadBack) {
  std::vector<double> values;
  for (int exponent = -9; exponent <= 19; ++exponent) {
    std::uint64_t mantissa = 0;
    for (int digits = 1; digits <= 17; ++digits) {
      mantissa = mantissa * 10 + static_cast<std::uint64_t>(digits % 9 + 1);
      const double d =
          std::stod(std::to_string(mantissa) + "e" + std::to_string(exponent - digits + 1));
      values.push_back(d);
      values.push_back(-d);
    }
  }
  std::mt19937_64 random(7);
  while (values.size() < 200'000) {
    const double d = std::bit_cast<double>(random());
    if (std::isfinite(d)) values.push_back(d);
    values.push_back(static_cast<double>(random() >> 11) * 0x1.0p-40);
  }
  for (double d : values) {
    const std::string text = float_text(d);
    ASSERT_EQ(text, reference_float_text(d)) << std::hexfloat << d;
    const auto back = parse_json(text);
    ASSERT_TRUE(back && back->as_number()) << text;
    ASSERT_EQ(std::bit_cast<std::uint64_t>(back->as_number()->float_value()),
              std::bit_cast<std::uint64_t>(d))
        << text;
  }
}

// The printer's digits against the standard library's on the doubles where
// shortest-digit algorithms go wrong (subnormals, powers of two and ten and
// their neighbours, integers near 2^53, both ends of the range) and on
// random bit patterns.
TEST(NumberText, ShortestDigitsAreTheLibrarys) {
  constexpr double kMax = std::numeric_limits<double>::max();
  std::vector<double> values = {std::numeric_limits<double>::denorm_min(),
                                std::numeric_limits<double>::min(),
                                std::nextafter(std::numeric_limits<double>::min(), 0.0),
                                kMax,
                                std::nextafter(kMax, 0.0),
                                0x1p53 - 1,
                                0x1p53,
                                0x1p53 + 2,
                                0x1p63,
                                0x1p64};
  for (std::uint64_t bits = 1; bits < 5000; ++bits) {
    values.push_back(std::bit_cast<double>(bits));
    values.push_back(std::bit_cast<double>((std::uint64_t{1} << 52) - bits));
  }
  for (int e = -1074; e <= 1023; ++e) values.push_back(std::ldexp(1.0, e));
  for (int e = -323; e <= 308; ++e) {
    values.push_back(std::strtod(("1e" + std::to_string(e)).c_str(), nullptr));
  }
  for (std::size_t i = 0, edges = values.size(); i != edges; ++i) {
    values.push_back(std::nextafter(values[i], 0.0));
    values.push_back(std::nextafter(values[i], kMax));
  }
  std::mt19937_64 random(20);
  while (values.size() < 3'000'000) {
    const double d = std::fabs(std::bit_cast<double>(random()));
    if (std::isfinite(d) && d != 0.0) values.push_back(d);
  }
  for (double d : values) {
    if (d == 0.0 || !std::isfinite(d)) continue;
    internal::DigitBuffer buffer;
    const auto [digits, count, exponent] = internal::shortest_digits(d, buffer);
    const Scientific expected = library_scientific(d);
    ASSERT_EQ(std::string_view(digits, count), expected.digits) << std::hexfloat << d;
    ASSERT_EQ(exponent, expected.exponent) << std::hexfloat << d;
  }
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
