#include "json/json_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include "json/string_scan.h"

namespace brelvo::json {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

// The escape for each byte below 0x20 and for '"' and '\\'; 0 means none.
constexpr std::array<char, 256> make_short_escapes() {
  std::array<char, 256> table{};
  table['"'] = '"';
  table['\\'] = '\\';
  table['\b'] = 'b';
  table['\t'] = 't';
  table['\n'] = 'n';
  table['\f'] = 'f';
  table['\r'] = 'r';
  return table;
}
constexpr std::array<char, 256> kShortEscapes = make_short_escapes();

// Room for `extra` more bytes and a little of what usually follows, growing
// geometrically: a long string appended whole must not be followed by a
// reallocation for its closing quote.
void reserve_for(std::string& out, std::size_t extra) {
  constexpr std::size_t kTail = 256;
  if (out.capacity() - out.size() >= extra) return;
  out.reserve(std::max(out.size() + extra + kTail, 2 * out.capacity()));
}

void append_escape(std::string& out, unsigned char c) {
  if (char e = kShortEscapes[c]) {
    out.push_back('\\');
    out.push_back(e);
    return;
  }
  out.append("\\u00");
  out.push_back(kHexDigits[c >> 4]);
  out.push_back(kHexDigits[c & 0xF]);
}

// Lays out the shortest digits d1..dn with decimal exponent e (value =
// d1.d2...dn * 10^e) in fixed notation for -5 <= e <= 15, else exponent form.
void append_float_layout(std::string& out, std::string_view digits, int e) {
  const int n = static_cast<int>(digits.size());
  if (e >= -5 && e <= 15) {
    if (e >= n - 1) {
      out.append(digits);
      out.append(static_cast<std::size_t>(e - n + 1), '0');
      out.append(".0");
    } else if (e >= 0) {
      out.append(digits.substr(0, static_cast<std::size_t>(e + 1)));
      out.push_back('.');
      out.append(digits.substr(static_cast<std::size_t>(e + 1)));
    } else {
      out.append("0.");
      out.append(static_cast<std::size_t>(-e - 1), '0');
      out.append(digits);
    }
    return;
  }
  out.push_back(digits[0]);
  if (n > 1) {
    out.push_back('.');
    out.append(digits.substr(1));
  }
  out.push_back('e');
  out.push_back(e < 0 ? '-' : '+');
  out.append(std::to_string(e < 0 ? -e : e));
}

void append_float(std::string& out, double d) {
  if (std::signbit(d)) out.push_back('-');
  d = std::fabs(d);
  if (d == 0.0) {
    out.append("0.0");
    return;
  }
  // Scientific form gives the shortest round-trip digits as d.ddde[+-]xx.
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, d, std::chars_format::scientific);
  std::string_view text(buffer, static_cast<std::size_t>(end - buffer));
  const std::size_t e_pos = text.find('e');
  char digits[24];
  std::size_t count = 0;
  for (char c : text.substr(0, e_pos)) {
    if (c != '.') digits[count++] = c;
  }
  int exponent = 0;
  std::string_view exp_text = text.substr(e_pos + 1);
  if (exp_text.front() == '+') exp_text.remove_prefix(1);
  std::from_chars(exp_text.data(), exp_text.data() + exp_text.size(), exponent);
  append_float_layout(out, std::string_view(digits, count), exponent);
}

void append_indent(std::string& out, std::size_t depth) {
  out.append(depth * 2, ' ');
}

void append_indented_at(std::string& out, const JsonValue& value, std::size_t depth);

void append_indented_array(std::string& out, const JsonArray& array, std::size_t depth) {
  if (array.empty()) {
    out.append("[]");
    return;
  }
  out.push_back('[');
  bool first = true;
  for (const JsonValue& element : array) {
    out.append(first ? "\n" : ",\n");
    first = false;
    append_indent(out, depth + 1);
    append_indented_at(out, element, depth + 1);
  }
  out.push_back('\n');
  append_indent(out, depth);
  out.push_back(']');
}

void append_indented_object(std::string& out, const JsonObject& object, std::size_t depth) {
  if (object.empty()) {
    out.append("{}");
    return;
  }
  out.push_back('{');
  bool first = true;
  for (const JsonMember& member : object) {
    out.append(first ? "\n" : ",\n");
    first = false;
    append_indent(out, depth + 1);
    append_quoted_string(out, member.key);
    out.append(": ");
    append_indented_at(out, member.value, depth + 1);
  }
  out.push_back('\n');
  append_indent(out, depth);
  out.push_back('}');
}

// Scalars print the same in both forms.
bool append_scalar(std::string& out, const JsonValue& value) {
  switch (value.kind()) {
    case JsonValue::Kind::kNull:
      out.append("null");
      return true;
    case JsonValue::Kind::kBool:
      out.append(*value.as_bool() ? "true" : "false");
      return true;
    case JsonValue::Kind::kNumber:
      append_number_text(out, *value.as_number());
      return true;
    case JsonValue::Kind::kString:
      append_quoted_string(out, *value.as_string());
      return true;
    default:
      return false;
  }
}

void append_indented_at(std::string& out, const JsonValue& value, std::size_t depth) {
  if (append_scalar(out, value)) return;
  if (const JsonArray* array = value.as_array()) {
    append_indented_array(out, *array, depth);
  } else {
    append_indented_object(out, *value.as_object(), depth);
  }
}

}  // namespace

void append_quoted_string(std::string& out, std::string_view text) {
  reserve_for(out, text.size() + 2);
  out.push_back('"');
  while (!text.empty()) {
    const std::size_t run = plain_run_length(text.data(), text.size());
    out.append(text.data(), run);
    if (run == text.size()) break;
    append_escape(out, static_cast<unsigned char>(text[run]));
    text.remove_prefix(run + 1);
  }
  out.push_back('"');
}

void append_number_text(std::string& out, const JsonNumber& number) {
  char buffer[24];
  switch (number.kind()) {
    case JsonNumber::Kind::kUnsigned: {
      auto end = std::to_chars(buffer, buffer + sizeof buffer, number.unsigned_value()).ptr;
      out.append(buffer, end);
      return;
    }
    case JsonNumber::Kind::kNegative: {
      auto end = std::to_chars(buffer, buffer + sizeof buffer, number.negative_value()).ptr;
      out.append(buffer, end);
      return;
    }
    case JsonNumber::Kind::kFloat:
      append_float(out, number.float_value());
      return;
  }
}

void append_compact_text(std::string& out, const JsonValue& value) {
  if (append_scalar(out, value)) return;
  if (const JsonArray* array = value.as_array()) {
    out.push_back('[');
    bool first = true;
    for (const JsonValue& element : *array) {
      if (!first) out.push_back(',');
      first = false;
      append_compact_text(out, element);
    }
    out.push_back(']');
    return;
  }
  out.push_back('{');
  bool first = true;
  for (const JsonMember& member : *value.as_object()) {
    if (!first) out.push_back(',');
    first = false;
    append_quoted_string(out, member.key);
    out.push_back(':');
    append_compact_text(out, member.value);
  }
  out.push_back('}');
}

void append_indented_text(std::string& out, const JsonValue& value) {
  append_indented_at(out, value, 0);
}

std::string to_compact_text(const JsonValue& value) {
  std::string out;
  append_compact_text(out, value);
  return out;
}

std::string to_indented_text(const JsonValue& value) {
  std::string out;
  append_indented_text(out, value);
  return out;
}

}  // namespace brelvo::json
