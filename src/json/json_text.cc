#include "json/json_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

#include "json/internal/shortest_digits.h"
#include "json/internal/string_scan.h"

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

// Writes text into a string. Every piece takes the cursor where it goes and
// gives the one after it, so that callers keep the cursor in a register:
// held in the writer, it would be reloaded after every byte stored, since a
// char store may alias it. Appending, room is made in large steps and the
// string is cut to what was written by finish(). Handing to a sink, the
// string is a buffer of kPiece bytes, handed over whenever it is full.
class TextWriter {
 public:
  static constexpr std::size_t kPiece = 64 * 1024;

  explicit TextWriter(std::string& out) : out_(out), limit_(out.data() + out.size()) {}
  TextWriter(std::string& buffer, const TextSink& sink) : out_(buffer), sink_(&sink) {
    out_.resize_and_overwrite(kPiece, [](char*, std::size_t count) { return count; });
    limit_ = out_.data() + out_.size();
  }
  TextWriter(const TextWriter&) = delete;
  TextWriter& operator=(const TextWriter&) = delete;

  // Where writing starts: after what the string held.
  char* start() const { return sink_ != nullptr ? out_.data() : out_.data() + out_.size(); }
  // Room for n bytes at cursor; gives the cursor, moved when the string grew
  // or was handed over.
  char* room(char* cursor, std::size_t n) {
    return static_cast<std::size_t>(limit_ - cursor) < n ? make_room(cursor, n) : cursor;
  }
  // Puts bytes at cursor; many are handed to a sink as they are, uncopied.
  char* put_bytes(char* cursor, std::string_view bytes) {
    if (sink_ != nullptr && bytes.size() >= kPiece / 2) {
      hand(bytes_before(cursor));
      hand(bytes);
      return out_.data();
    }
    cursor = room(cursor, bytes.size());
    std::memcpy(cursor, bytes.data(), bytes.size());
    return cursor + bytes.size();
  }
  // Ends the text at cursor; false when a sink refused a piece.
  bool finish(const char* cursor) {
    if (sink_ == nullptr) {
      out_.resize(static_cast<std::size_t>(cursor - out_.data()));
      return true;
    }
    hand(bytes_before(cursor));
    return accepted_;
  }

 private:
  char* make_room(char* cursor, std::size_t n) {
    if (sink_ != nullptr && n <= kPiece) {
      hand(bytes_before(cursor));
      return out_.data();
    }
    return grow(cursor, n);
  }
  // Geometric growth, without zeroing the new room.
  char* grow(char* cursor, std::size_t n) {
    constexpr std::size_t kMinimum = 256;
    const auto used = static_cast<std::size_t>(cursor - out_.data());
    const std::size_t size = std::max({used + n + kMinimum, 2 * out_.size(), kMinimum});
    out_.resize_and_overwrite(size, [](char*, std::size_t count) { return count; });
    limit_ = out_.data() + out_.size();
    return out_.data() + used;
  }
  std::string_view bytes_before(const char* cursor) const {
    return {out_.data(), static_cast<std::size_t>(cursor - out_.data())};
  }
  // Once the sink has refused a piece, it is handed nothing more.
  void hand(std::string_view bytes) {
    if (accepted_ && !bytes.empty()) accepted_ = (*sink_)(bytes);
  }

  std::string& out_;
  const TextSink* sink_ = nullptr;
  char* limit_;
  bool accepted_ = true;
};

char* put(TextWriter& out, char* p, char c) {
  p = out.room(p, 1);
  *p = c;
  return p + 1;
}

char* put(TextWriter& out, char* p, std::string_view text) {
  p = out.room(p, text.size());
  std::memcpy(p, text.data(), text.size());
  return p + text.size();
}

char* put_escape(TextWriter& out, char* p, unsigned char c) {
  if (char e = kShortEscapes[c]) {
    p = out.room(p, 2);
    p[0] = '\\';
    p[1] = e;
    return p + 2;
  }
  p = out.room(p, 6);
  std::memcpy(p, "\\u00", 4);
  p[4] = kHexDigits[c >> 4];
  p[5] = kHexDigits[c & 0xF];
  return p + 6;
}

// A long string (an image's Base64, a document in a string): each plain run
// is found first, by the 16-byte scan, and then put whole, by memcpy or
// straight to a sink.
char* put_long_quoted_string(TextWriter& out, char* p, std::string_view text) {
  p = put(out, p, '"');
  for (;;) {
    const std::size_t run = internal::plain_run_length(text.data(), text.size());
    p = out.put_bytes(p, text.substr(0, run));
    if (run == text.size()) return put(out, p, '"');
    p = put_escape(out, p, static_cast<unsigned char>(text[run]));
    text.remove_prefix(run + 1);
  }
}

char* put_quoted_string(TextWriter& out, char* p, std::string_view text) {
  constexpr std::size_t kLong = 256;
  if (text.size() >= kLong) return put_long_quoted_string(out, p, text);
  // Room for the opening quote and what copy_plain_run may store, which
  // covers the closing quote: most strings need no escape and no more room.
  p = out.room(p, text.size() + 9);
  *p = '"';
  std::size_t run = internal::copy_plain_run(text.data(), text.size(), p + 1);
  p += 1 + run;
  while (run != text.size()) {
    p = put_escape(out, p, static_cast<unsigned char>(text[run]));
    text.remove_prefix(run + 1);
    p = out.room(p, text.size() + 8);
    run = internal::copy_plain_run(text.data(), text.size(), p);
    p += run;
  }
  return put(out, p, '"');
}

// Room a float's text needs: its longest is 24 bytes, and its pieces are
// stores of fixed size that may reach past its end.
constexpr std::size_t kFloatRoom = 48;

// Lays out the shortest digits of a positive float in fixed notation for
// decimal exponents -5 to 15, else in exponent form, at p, which has
// kFloatRoom bytes of room. Zeros follow the digits, so every piece is a
// copy of fixed size and only the cursor moves by the digits' count.
char* put_float_layout(char* p, internal::ShortestDigits shortest) {
  static_assert(internal::kDigitsPadding >= 16);
  const auto [digits, n, e] = shortest;
  if (e >= 0 && e <= 15) {
    // The whole part; an integral value's zeros come with the digits.
    std::memcpy(p, digits, 16);
    if (e >= n - 1) {
      std::memcpy(p + e + 1, ".0", 2);
      return p + e + 3;
    }
    p[e + 1] = '.';
    std::memcpy(p + e + 2, digits + e + 1, 16);
    return p + n + 1;
  }
  if (e < 0 && e >= -5) {
    std::memcpy(p, "0.000000", 8);
    // Two overlapping copies of 16: a 17th single byte would wait for the digits' stores.
    std::memcpy(p + 1 - e, digits, 16);
    std::memcpy(p + 2 - e, digits + 1, 16);
    return p + 1 - e + n;
  }
  p[0] = digits[0];
  p[1] = '.';
  std::memcpy(p + 2, digits + 1, 16);
  p += n > 1 ? n + 1 : 1;
  *p++ = 'e';
  *p++ = e < 0 ? '-' : '+';
  return std::to_chars(p, p + 3, e < 0 ? -e : e).ptr;
}

char* put_float(TextWriter& out, char* p, double d) {
  p = out.room(p, kFloatRoom);
  // Without a branch: signs of measured values follow no pattern.
  *p = '-';
  p += std::signbit(d);
  d = std::fabs(d);
  if (d == 0.0) {
    std::memcpy(p, "0.0", 3);
    return p + 3;
  }
  internal::DigitBuffer buffer;
  return put_float_layout(p, internal::shortest_digits(d, buffer));
}

char* put_number(TextWriter& out, char* p, const JsonNumber& number) {
  constexpr std::size_t kIntegerDigits = 24;
  switch (number.kind()) {
    case JsonNumber::Kind::kUnsigned:
      p = out.room(p, kIntegerDigits);
      return std::to_chars(p, p + kIntegerDigits, number.unsigned_value()).ptr;
    case JsonNumber::Kind::kNegative:
      p = out.room(p, kIntegerDigits);
      return std::to_chars(p, p + kIntegerDigits, number.negative_value()).ptr;
    case JsonNumber::Kind::kFloat:
      return put_float(out, p, number.float_value());
  }
  return p;
}

// Scalars print the same in both forms; containers give nullptr.
char* put_scalar(TextWriter& out, char* p, const JsonValue& value) {
  switch (value.kind()) {
    case JsonValue::Kind::kNull:
      return put(out, p, "null");
    case JsonValue::Kind::kBool:
      return put(out, p, *value.as_bool() ? "true" : "false");
    case JsonValue::Kind::kNumber:
      return put_number(out, p, *value.as_number());
    case JsonValue::Kind::kString:
      return put_quoted_string(out, p, internal::string_bytes(value));
    default:
      return nullptr;
  }
}

char* put_compact(TextWriter& out, char* p, const JsonValue& value) {
  if (char* after = put_scalar(out, p, value)) return after;
  if (const JsonArray* array = value.as_array()) {
    p = put(out, p, '[');
    bool first = true;
    for (const JsonValue& element : *array) {
      if (!first) p = put(out, p, ',');
      first = false;
      // Numbers here, not two calls deeper: arrays of numbers are the long ones.
      if (const JsonNumber* number = element.as_number()) {
        p = put_number(out, p, *number);
      } else {
        p = put_compact(out, p, element);
      }
    }
    return put(out, p, ']');
  }
  p = put(out, p, '{');
  bool first = true;
  for (const JsonMember& member : *value.as_object()) {
    if (!first) p = put(out, p, ',');
    first = false;
    p = put_quoted_string(out, p, member.key);
    p = put(out, p, ':');
    p = put_compact(out, p, member.value);
  }
  return put(out, p, '}');
}

char* put_indented(TextWriter& out, char* p, const JsonValue& value, std::size_t depth);

// Writes n spaces at p, which has room for n + 16 bytes, in whole chunks:
// indents are short, and a memset of unknown length is a library call.
char* put_indent(char* p, std::size_t n) {
  constexpr char kSpaces[] = "                ";
  for (std::size_t i = 0; i < n; i += 16) std::memcpy(p + i, kSpaces, 16);
  return p + n;
}

// A line feed and the indent for depth.
char* put_new_line(TextWriter& out, char* p, std::size_t depth) {
  p = out.room(p, depth * 2 + 17);
  *p++ = '\n';
  return put_indent(p, depth * 2);
}

// The line break before an element: ",\n" after the first, then the indent.
char* put_element_break(TextWriter& out, char* p, bool first, std::size_t depth) {
  if (!first) p = put(out, p, ',');
  return put_new_line(out, p, depth);
}

char* put_closing(TextWriter& out, char* p, char bracket, std::size_t depth) {
  return put(out, put_new_line(out, p, depth), bracket);
}

char* put_indented_array(TextWriter& out, char* p, const JsonArray& array, std::size_t depth) {
  if (array.empty()) return put(out, p, "[]");
  p = put(out, p, '[');
  bool first = true;
  for (const JsonValue& element : array) {
    p = put_element_break(out, p, first, depth + 1);
    first = false;
    if (const JsonNumber* number = element.as_number()) {
      p = put_number(out, p, *number);
    } else {
      p = put_indented(out, p, element, depth + 1);
    }
  }
  return put_closing(out, p, ']', depth);
}

char* put_indented_object(TextWriter& out, char* p, const JsonObject& object, std::size_t depth) {
  if (object.empty()) return put(out, p, "{}");
  p = put(out, p, '{');
  bool first = true;
  for (const JsonMember& member : object) {
    p = put_element_break(out, p, first, depth + 1);
    first = false;
    p = put_quoted_string(out, p, member.key);
    p = put(out, p, ": ");
    p = put_indented(out, p, member.value, depth + 1);
  }
  return put_closing(out, p, '}', depth);
}

char* put_indented(TextWriter& out, char* p, const JsonValue& value, std::size_t depth) {
  if (char* after = put_scalar(out, p, value)) return after;
  if (const JsonArray* array = value.as_array()) return put_indented_array(out, p, *array, depth);
  return put_indented_object(out, p, *value.as_object(), depth);
}

char* put_indented_root(TextWriter& out, char* p, const JsonValue& value) {
  return put_indented(out, p, value, 0);
}

// Runs one put_ function over out from its end and cuts out to what it wrote.
template <typename Put, typename... Args>
void append_with(std::string& out, Put put_piece, const Args&... args) {
  TextWriter writer(out);
  writer.finish(put_piece(writer, writer.start(), args...));
}

}  // namespace

void append_quoted_string(std::string& out, std::string_view text) {
  append_with(out, put_quoted_string, text);
}

void append_compact_text(std::string& out, const JsonValue& value) {
  append_with(out, put_compact, value);
}

void append_indented_text(std::string& out, const JsonValue& value) {
  append_with(out, put_indented_root, value);
}

bool write_indented_text(const JsonValue& value, std::string_view end, const TextSink& sink) {
  std::string buffer;
  TextWriter writer(buffer, sink);
  char* p = put_indented_root(writer, writer.start(), value);
  return writer.finish(writer.put_bytes(p, end));
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
