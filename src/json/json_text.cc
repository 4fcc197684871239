#include "json/json_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

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

// Appends to a string through a cursor: room is made in large steps, and
// each piece is a bounds check and a copy. The string is cut to what was
// written when the writer goes away.
class TextWriter {
 public:
  explicit TextWriter(std::string& out) : out_(out), used_(out.size()) {}
  ~TextWriter() { out_.resize(used_); }
  TextWriter(const TextWriter&) = delete;
  TextWriter& operator=(const TextWriter&) = delete;

  // Room for n more bytes; the pointer is valid until the next call.
  char* room(std::size_t n) {
    if (out_.size() - used_ < n) grow(n);
    return out_.data() + used_;
  }
  void advance(std::size_t n) { used_ += n; }

  void put(char c) {
    *room(1) = c;
    ++used_;
  }
  void put(std::string_view text) {
    std::memcpy(room(text.size()), text.data(), text.size());
    used_ += text.size();
  }
  void put_repeated(char c, std::size_t n) {
    std::memset(room(n), c, n);
    used_ += n;
  }

 private:
  // Geometric growth, without zeroing the new room.
  void grow(std::size_t n) {
    constexpr std::size_t kMinimum = 256;
    const std::size_t size = std::max({used_ + n + kMinimum, 2 * out_.size(), kMinimum});
    out_.resize_and_overwrite(size, [](char*, std::size_t count) { return count; });
  }

  std::string& out_;
  std::size_t used_;
};

void put_escape(TextWriter& out, unsigned char c) {
  if (char e = kShortEscapes[c]) {
    char* p = out.room(2);
    p[0] = '\\';
    p[1] = e;
    out.advance(2);
    return;
  }
  char* p = out.room(6);
  std::memcpy(p, "\\u00", 4);
  p[4] = kHexDigits[c >> 4];
  p[5] = kHexDigits[c & 0xF];
  out.advance(6);
}

void put_quoted_string(TextWriter& out, std::string_view text) {
  // Room for the opening quote and what copy_plain_run may store, which
  // covers the closing quote: most strings need no escape and no more room.
  char* start = out.room(text.size() + 9);
  *start = '"';
  std::size_t run = copy_plain_run(text.data(), text.size(), start + 1);
  out.advance(1 + run);
  while (run != text.size()) {
    put_escape(out, static_cast<unsigned char>(text[run]));
    text.remove_prefix(run + 1);
    run = copy_plain_run(text.data(), text.size(), out.room(text.size() + 8));
    out.advance(run);
  }
  out.put('"');
}

// Lays out the shortest digits d1..dn with decimal exponent e (value =
// d1.d2...dn * 10^e) in fixed notation for -5 <= e <= 15, else exponent form.
void put_float_layout(TextWriter& out, std::string_view digits, int e) {
  const int n = static_cast<int>(digits.size());
  if (e >= -5 && e <= 15) {
    if (e >= n - 1) {
      out.put(digits);
      out.put_repeated('0', static_cast<std::size_t>(e - n + 1));
      out.put(".0");
    } else if (e >= 0) {
      out.put(digits.substr(0, static_cast<std::size_t>(e + 1)));
      out.put('.');
      out.put(digits.substr(static_cast<std::size_t>(e + 1)));
    } else {
      out.put("0.");
      out.put_repeated('0', static_cast<std::size_t>(-e - 1));
      out.put(digits);
    }
    return;
  }
  out.put(digits[0]);
  if (n > 1) {
    out.put('.');
    out.put(digits.substr(1));
  }
  out.put('e');
  out.put(e < 0 ? '-' : '+');
  char exponent[8];
  out.put(std::string_view(
      exponent, std::to_chars(exponent, exponent + sizeof exponent, e < 0 ? -e : e).ptr));
}

void put_float(TextWriter& out, double d) {
  if (std::signbit(d)) out.put('-');
  d = std::fabs(d);
  if (d == 0.0) {
    out.put("0.0");
    return;
  }
  // Scientific form gives the shortest round-trip digits as d[.ddd]e[+-]xx,
  // read here by hand: this is the hot path of float-heavy documents.
  char buffer[64];
  const char* const end =
      std::to_chars(buffer, buffer + sizeof buffer, d, std::chars_format::scientific).ptr;
  char digits[24];
  std::size_t count = 0;
  const char* p = buffer;
  digits[count++] = *p++;
  if (*p == '.') {
    for (++p; *p != 'e'; ++p) digits[count++] = *p;
  }
  ++p;  // 'e'
  const bool negative_exponent = *p++ == '-';
  int exponent = 0;
  for (; p != end; ++p) exponent = exponent * 10 + (*p - '0');
  put_float_layout(out, std::string_view(digits, count), negative_exponent ? -exponent : exponent);
}

void put_number(TextWriter& out, const JsonNumber& number) {
  constexpr std::size_t kIntegerDigits = 24;
  switch (number.kind()) {
    case JsonNumber::Kind::kUnsigned: {
      char* p = out.room(kIntegerDigits);
      out.advance(static_cast<std::size_t>(
          std::to_chars(p, p + kIntegerDigits, number.unsigned_value()).ptr - p));
      return;
    }
    case JsonNumber::Kind::kNegative: {
      char* p = out.room(kIntegerDigits);
      out.advance(static_cast<std::size_t>(
          std::to_chars(p, p + kIntegerDigits, number.negative_value()).ptr - p));
      return;
    }
    case JsonNumber::Kind::kFloat:
      put_float(out, number.float_value());
      return;
  }
}

// Scalars print the same in both forms.
bool put_scalar(TextWriter& out, const JsonValue& value) {
  switch (value.kind()) {
    case JsonValue::Kind::kNull:
      out.put("null");
      return true;
    case JsonValue::Kind::kBool:
      out.put(*value.as_bool() ? "true" : "false");
      return true;
    case JsonValue::Kind::kNumber:
      put_number(out, *value.as_number());
      return true;
    case JsonValue::Kind::kString:
      put_quoted_string(out, *value.as_string());
      return true;
    default:
      return false;
  }
}

void put_compact(TextWriter& out, const JsonValue& value) {
  if (put_scalar(out, value)) return;
  if (const JsonArray* array = value.as_array()) {
    out.put('[');
    bool first = true;
    for (const JsonValue& element : *array) {
      if (!first) out.put(',');
      first = false;
      put_compact(out, element);
    }
    out.put(']');
    return;
  }
  out.put('{');
  bool first = true;
  for (const JsonMember& member : *value.as_object()) {
    if (!first) out.put(',');
    first = false;
    put_quoted_string(out, member.key);
    out.put(':');
    put_compact(out, member.value);
  }
  out.put('}');
}

void put_indented(TextWriter& out, const JsonValue& value, std::size_t depth);

// The line break before an element: ",\n" after the first, then the indent.
void put_element_break(TextWriter& out, bool first, std::size_t depth) {
  if (!first) out.put(',');
  out.put('\n');
  out.put_repeated(' ', depth * 2);
}

void put_closing(TextWriter& out, char bracket, std::size_t depth) {
  out.put('\n');
  out.put_repeated(' ', depth * 2);
  out.put(bracket);
}

void put_indented_array(TextWriter& out, const JsonArray& array, std::size_t depth) {
  if (array.empty()) {
    out.put("[]");
    return;
  }
  out.put('[');
  bool first = true;
  for (const JsonValue& element : array) {
    put_element_break(out, first, depth + 1);
    first = false;
    put_indented(out, element, depth + 1);
  }
  put_closing(out, ']', depth);
}

void put_indented_object(TextWriter& out, const JsonObject& object, std::size_t depth) {
  if (object.empty()) {
    out.put("{}");
    return;
  }
  out.put('{');
  bool first = true;
  for (const JsonMember& member : object) {
    put_element_break(out, first, depth + 1);
    first = false;
    put_quoted_string(out, member.key);
    out.put(": ");
    put_indented(out, member.value, depth + 1);
  }
  put_closing(out, '}', depth);
}

void put_indented(TextWriter& out, const JsonValue& value, std::size_t depth) {
  if (put_scalar(out, value)) return;
  if (const JsonArray* array = value.as_array()) {
    put_indented_array(out, *array, depth);
  } else {
    put_indented_object(out, *value.as_object(), depth);
  }
}

}  // namespace

void append_quoted_string(std::string& out, std::string_view text) {
  TextWriter writer(out);
  put_quoted_string(writer, text);
}

void append_number_text(std::string& out, const JsonNumber& number) {
  TextWriter writer(out);
  put_number(writer, number);
}

void append_compact_text(std::string& out, const JsonValue& value) {
  TextWriter writer(out);
  put_compact(writer, value);
}

void append_indented_text(std::string& out, const JsonValue& value) {
  TextWriter writer(out);
  put_indented(writer, value, 0);
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
