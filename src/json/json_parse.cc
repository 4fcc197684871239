#include "json/json_parse.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "json/internal/member_order.h"
#include "json/internal/string_scan.h"

namespace brelvo::json {
namespace {

constexpr int kDepthBudget = 128;

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void append_utf8(JsonString& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Line and column of a byte offset: only line feeds end lines; columns count
// bytes. Worked out only when a parse fails.
JsonParseError locate(const char* description, std::string_view text, std::size_t offset) {
  std::string_view before = text.substr(0, offset);
  const auto line_feeds =
      static_cast<std::uint64_t>(std::count(before.begin(), before.end(), '\n'));
  const std::size_t last = before.rfind('\n');
  const std::size_t line_start = last == std::string_view::npos ? 0 : last + 1;
  return JsonParseError{description, line_feeds + 1, offset - line_start};
}

// A parsed value waiting for its container to close. Scalars become
// JsonValues once, in their container's final storage; a string without
// escapes is only a span of the text until then.
struct Slot {
  enum class Kind : std::uint8_t {
    kNull,
    kFalse,
    kTrue,
    kUnsigned,
    kNegative,
    kFloat,
    kText,   // text_[offset, offset + length)
    kBuilt,  // built_[index]: a container, or a string that had escapes
  };
  // Sixteen bytes: a text's length shares a word with the kind; no text
  // reaches 2^56 bytes.
  static constexpr std::uint64_t kLengthMask = (std::uint64_t{1} << 56) - 1;
  Kind kind : 8;
  std::uint64_t length : 56 = 0;
  union {
    std::uint64_t u;
    std::int64_t i;
    double d;
    std::size_t offset;
    std::size_t index;
  };
};
static_assert(sizeof(Slot) == 16);

// Converts to what make() gives, so that emplace_back() constructs that in
// place instead of moving it in.
template <typename Make>
struct InPlace {
  Make make;
  operator std::invoke_result_t<Make&>() { return make(); }
};

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text), data_(text.data()), size_(text.size()) {}

  // A string without escapes that is more than half the text, and at least
  // kLongestCopied long, is left as a placeholder for the text itself to
  // fill: there is at most one such string.
  void leave_longest_string() { longest_copied_ = std::max(size_ / 2, kLongestCopied); }
  // The span of the string left as a placeholder, if any.
  std::optional<std::pair<std::size_t, std::size_t>> left_string() const { return left_; }

  std::expected<JsonValue, JsonParseError> parse_document() {
    // Room for a few levels of typical containers; large texts grow from there.
    slots_.reserve(std::min<std::size_t>(size_ / 8, 512));
    skip_space();
    if (!parse_value()) return std::unexpected(locate(error_, text_, error_offset_));
    skip_space();
    if (pos_ != size_) {
      fail_at_byte("trailing characters");
      return std::unexpected(locate(error_, text_, error_offset_));
    }
    return value_of(slots_.front());
  }

 private:
  // Every failure records its description and offset, then returns false.
  bool fail(const char* description, std::size_t offset) {
    error_ = description;
    error_offset_ = offset;
    return false;
  }
  bool fail_at_byte(const char* description) { return fail(description, pos_ + 1); }
  bool fail_at_end(const char* description) { return fail(description, size_); }

  bool at_end() const { return pos_ >= size_; }
  char peek() const { return data_[pos_]; }

  void skip_space() {
    while (pos_ < size_) {
      const char c = data_[pos_];
      if (c != ' ' && c != '\n' && c != '\r' && c != '\t') return;
      ++pos_;
    }
  }

  // Each parse_* of a value leaves one slot for it on slots_.
  bool parse_value() {
    if (at_end()) return fail_at_end("EOF while parsing a value");
    switch (peek()) {
      case '"':
        return parse_string_value();
      case '[':
        return parse_array();
      case '{':
        return parse_object();
      case 't':
        return parse_literal("true", Slot::Kind::kTrue);
      case 'f':
        return parse_literal("false", Slot::Kind::kFalse);
      case 'n':
        return parse_literal("null", Slot::Kind::kNull);
      default:
        if (peek() == '-' || is_digit(peek())) return parse_number();
        return fail_at_byte("expected value");
    }
  }

  bool parse_literal(std::string_view word, Slot::Kind kind) {
    for (std::size_t i = 1; i < word.size(); ++i) {
      ++pos_;
      if (at_end()) return fail_at_end("EOF while parsing a value");
      if (peek() != word[i]) return fail_at_byte("expected ident");
    }
    ++pos_;
    slots_.push_back({.kind = kind, .u = 0});
    return true;
  }

  // Digits after a point or exponent letter: at least one is required.
  bool require_digits() {
    if (at_end()) return fail_at_end("EOF while parsing a value");
    if (!is_digit(peek())) return fail_at_byte("invalid number");
    pos_ += internal::digit_run_length(data_ + pos_, size_ - pos_);
    return true;
  }

  bool parse_number() {
    const std::size_t start = pos_;
    const bool negative = peek() == '-';
    if (negative) ++pos_;
    if (at_end()) return fail_at_end("EOF while parsing a value");
    if (peek() == '0') {
      ++pos_;
      if (!at_end() && is_digit(peek())) return fail_at_byte("invalid number");
    } else if (!require_digits()) {
      return false;
    }
    const std::size_t int_end = pos_;
    bool is_float = false;
    if (!at_end() && peek() == '.') {
      ++pos_;
      is_float = true;
      if (!require_digits()) return false;
    }
    if (!at_end() && (peek() == 'e' || peek() == 'E')) {
      ++pos_;
      is_float = true;
      if (!at_end() && (peek() == '+' || peek() == '-')) ++pos_;
      if (!require_digits()) return false;
    }
    if (!is_float && integer_fits(start, int_end, negative)) return true;
    return parse_float(start);
  }

  // Integers in range keep an integer kind; -0 and out-of-range integers
  // become floats.
  bool integer_fits(std::size_t start, std::size_t end, bool negative) {
    const char* first = data_ + start + (negative ? 1 : 0);
    const char* last = data_ + end;
    std::uint64_t magnitude = 0;
    // Nineteen digits always fit in 64 bits; only longer runs need checking.
    if (last - first <= 19) {
      for (const char* p = first; p != last; ++p) magnitude = magnitude * 10 + (*p - '0');
    } else if (std::from_chars(first, last, magnitude).ec != std::errc{}) {
      return false;
    }
    if (!negative) {
      slots_.push_back({.kind = Slot::Kind::kUnsigned, .u = magnitude});
      return true;
    }
    constexpr std::uint64_t kMinMagnitude = std::uint64_t{1} << 63;
    if (magnitude == 0 || magnitude > kMinMagnitude) return false;
    const auto value =
        magnitude == kMinMagnitude ? INT64_MIN : -static_cast<std::int64_t>(magnitude);
    slots_.push_back({.kind = Slot::Kind::kNegative, .i = value});
    return true;
  }

  bool parse_float(std::size_t start) {
    double value = 0.0;
    auto [ptr, ec] = std::from_chars(data_ + start, data_ + pos_, value);
    if (ec == std::errc::result_out_of_range) {
      if (overflows(text_.substr(start, pos_ - start))) return fail("number out of range", pos_);
      value = data_[start] == '-' ? -0.0 : 0.0;
    }
    slots_.push_back({.kind = Slot::Kind::kFloat, .d = value});
    return true;
  }

  // from_chars reports both overflow and underflow as out of range; tell
  // them apart by the decimal exponent of the first significant digit.
  static bool overflows(std::string_view number) {
    if (number.front() == '-') number.remove_prefix(1);
    const std::size_t e_pos = number.find_first_of("eE");
    std::string_view mantissa = number.substr(0, e_pos);
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos) return false;
    long long magnitude = first < point ? static_cast<long long>(point - first) - 1
                                        : -static_cast<long long>(first - point);
    if (e_pos != std::string_view::npos) {
      std::string_view exponent = number.substr(e_pos + 1);
      const bool negative = exponent.front() == '-';
      if (exponent.front() == '+' || negative) exponent.remove_prefix(1);
      long long e = 0;
      for (char c : exponent) e = std::min(e * 10 + (c - '0'), 1'000'000'000LL);
      magnitude += negative ? -e : e;
    }
    return magnitude > 0;
  }

  // Reads four hex digits after "\u" (pos_ at the 'u').
  bool parse_hex4(std::uint32_t& unit) {
    if (size_ - (pos_ + 1) < 4) return fail_at_end("EOF while parsing a string");
    unit = 0;
    for (std::size_t i = 1; i <= 4; ++i) {
      const int digit = hex_value(data_[pos_ + i]);
      if (digit < 0) return fail("invalid escape", pos_ + 5);
      unit = unit << 4 | static_cast<std::uint32_t>(digit);
    }
    pos_ += 5;
    return true;
  }

  bool parse_unicode_escape(JsonString& out) {
    std::uint32_t unit = 0;
    if (!parse_hex4(unit)) return false;
    if (unit >= 0xDC00 && unit <= 0xDFFF) return fail("lone leading surrogate in hex escape", pos_);
    if (unit < 0xD800 || unit > 0xDBFF) {
      append_utf8(out, unit);
      return true;
    }
    if (at_end()) return fail_at_end("EOF while parsing a string");
    if (peek() != '\\') return fail_at_byte("unexpected end of hex escape");
    ++pos_;
    if (at_end()) return fail_at_end("EOF while parsing a string");
    if (peek() != 'u') return fail_at_byte("unexpected end of hex escape");
    std::uint32_t trail = 0;
    if (!parse_hex4(trail)) return false;
    if (trail < 0xDC00 || trail > 0xDFFF) return fail("lone leading surrogate in hex escape", pos_);
    append_utf8(out, 0x10000 + ((unit - 0xD800) << 10) + (trail - 0xDC00));
    return true;
  }

  bool parse_escape(JsonString& out) {
    ++pos_;  // the backslash
    if (at_end()) return fail_at_end("EOF while parsing a string");
    char decoded = 0;
    switch (peek()) {
      case '"':
        decoded = '"';
        break;
      case '\\':
        decoded = '\\';
        break;
      case '/':
        decoded = '/';
        break;
      case 'b':
        decoded = '\b';
        break;
      case 'f':
        decoded = '\f';
        break;
      case 'n':
        decoded = '\n';
        break;
      case 'r':
        decoded = '\r';
        break;
      case 't':
        decoded = '\t';
        break;
      case 'u':
        return parse_unicode_escape(out);
      default:
        return fail_at_byte("invalid escape");
    }
    out.push_back(decoded);
    ++pos_;
    return true;
  }

  // A string without escapes stays a span of the text; one with escapes is
  // decoded here and kept aside.
  bool parse_string_value() {
    const std::size_t start = pos_ + 1;
    const std::size_t run = internal::plain_run_length(data_ + start, size_ - start);
    if (start + run < size_ && data_[start + run] == '"') {
      pos_ = start + run + 1;
      slots_.push_back(
          {.kind = Slot::Kind::kText, .length = run & Slot::kLengthMask, .offset = start});
      return true;
    }
    // The plain run is known already: decoding goes on from its end.
    JsonString decoded(data_ + start, run);
    pos_ = start + run;
    if (!decode_rest_of_string(decoded)) return false;
    keep_aside(JsonValue(std::move(decoded)));
    return true;
  }

  void keep_aside(JsonValue&& value) {
    slots_.push_back({.kind = Slot::Kind::kBuilt, .index = built_.size()});
    built_.push_back(std::move(value));
  }

  // Appends to out from pos_, inside a string, up to and past its closing quote.
  bool decode_rest_of_string(JsonString& out) {
    for (;;) {
      const std::size_t run = internal::plain_run_length(data_ + pos_, size_ - pos_);
      out.append(data_ + pos_, run);
      pos_ += run;
      if (at_end()) return fail_at_end("EOF while parsing a string");
      const char c = peek();
      if (c == '"') {
        ++pos_;
        return true;
      }
      if (c != '\\')
        return fail_at_byte("control character (\\u0000-\\u001F) found while parsing a string");
      if (!parse_escape(out)) return false;
    }
  }

  bool enter_container() {
    if (--depth_budget_ == 0) return fail_at_byte("recursion limit exceeded");
    ++pos_;
    skip_space();
    return true;
  }

  // A container's values collect as slots above `base` while it is parsed;
  // at its end it is built once, at its final size, and its slots give way
  // to one for it.
  bool parse_array() {
    if (!enter_container()) return false;
    const std::size_t base = slots_.size();
    const std::size_t built_base = built_.size();
    if (at_end()) return fail_at_end("EOF while parsing a list");
    if (peek() != ']') {
      for (;;) {
        if (!parse_value()) return false;
        skip_space();
        if (at_end()) return fail_at_end("EOF while parsing a list");
        if (peek() == ']') break;
        if (peek() != ',') return fail_at_byte("expected `,` or `]`");
        ++pos_;
        skip_space();
        if (at_end()) return fail_at_end("EOF while parsing a value");
        if (peek() == ']') return fail_at_byte("trailing comma");
      }
    }
    ++pos_;
    ++depth_budget_;
    JsonArray elements;
    elements.reserve(slots_.size() - base);
    for (std::size_t i = base; i < slots_.size(); ++i) {
      elements.emplace_back(InPlace{[this, i] { return value_of(slots_[i]); }});
    }
    close_container(base, built_base, JsonValue(std::move(elements)));
    return true;
  }

  bool parse_member() {
    if (!parse_string_value()) return false;
    skip_space();
    if (at_end()) return fail_at_end("EOF while parsing an object");
    if (peek() != ':') return fail_at_byte("expected `:`");
    ++pos_;
    skip_space();
    return parse_value();
  }

  bool parse_object() {
    if (!enter_container()) return false;
    const std::size_t base = slots_.size();
    const std::size_t built_base = built_.size();
    if (at_end()) return fail_at_end("EOF while parsing an object");
    if (peek() != '}') {
      if (peek() != '"') return fail_at_byte("key must be a string");
      for (;;) {
        if (!parse_member()) return false;
        skip_space();
        if (at_end()) return fail_at_end("EOF while parsing an object");
        if (peek() == '}') break;
        if (peek() != ',') return fail_at_byte("expected `,` or `}`");
        ++pos_;
        skip_space();
        if (at_end()) return fail_at_end("EOF while parsing a value");
        if (peek() == '}') return fail_at_byte("trailing comma");
        if (peek() != '"') return fail_at_byte("key must be a string");
      }
    }
    ++pos_;
    ++depth_budget_;
    close_container(base, built_base, JsonValue(build_object(base)));
    return true;
  }

  // Members are slot pairs from base on: key, value. Only the members that
  // stay are built, each once, in their final order.
  JsonObject build_object(std::size_t base) {
    const std::size_t count = (slots_.size() - base) / 2;
    sort_keys_.resize(count);
    const auto key_at = [this, base](std::uint32_t position) {
      return key_bytes(slots_[base + 2 * position]);
    };
    for (std::size_t m = 0; m < count; ++m) {
      const auto position = static_cast<std::uint32_t>(m);
      sort_keys_[m] = {internal::key_prefix(key_at(position)), position};
    }
    const std::size_t kept = internal::order_members(std::span(sort_keys_), key_at);
    JsonObject::Members members;
    members.reserve(kept);
    for (std::size_t k = 0; k < kept; ++k) {
      const std::size_t key = base + 2 * std::size_t{sort_keys_[k].position};
      members.emplace_back(InPlace{[this, key] { return key_string(slots_[key]); }},
                           InPlace{[this, key] { return value_of(slots_[key + 1]); }});
    }
    return JsonObject::from_ordered_members(std::move(members));
  }

  void close_container(std::size_t base, std::size_t built_base, JsonValue&& container) {
    slots_.resize(base);
    built_.resize(built_base);
    keep_aside(std::move(container));
  }

  JsonValue value_of(Slot& slot) {
    switch (slot.kind) {
      case Slot::Kind::kNull:
        return JsonValue();
      case Slot::Kind::kFalse:
        return JsonValue(false);
      case Slot::Kind::kTrue:
        return JsonValue(true);
      case Slot::Kind::kUnsigned:
        return JsonValue(JsonNumber::from_unsigned(slot.u));
      case Slot::Kind::kNegative:
        return JsonValue(JsonNumber::from_signed(slot.i));
      case Slot::Kind::kFloat:
        return JsonValue(JsonNumber::from_double(slot.d));
      case Slot::Kind::kText:
        if (slot.length > longest_copied_) {
          left_ = {slot.offset, std::size_t{slot.length}};
          return internal::text_placeholder();
        }
        return JsonValue(std::string_view(data_ + slot.offset, slot.length));
      case Slot::Kind::kBuilt:
        break;
    }
    return std::move(built_[slot.index]);
  }

  // Keys are strings: text spans or decoded strings kept aside.
  std::string_view key_bytes(const Slot& key) const {
    if (key.kind == Slot::Kind::kText) return {data_ + key.offset, key.length};
    return internal::string_bytes(built_[key.index]);
  }
  std::string key_string(const Slot& key) const { return std::string(key_bytes(key)); }

  static constexpr std::size_t kLongestCopied = std::size_t{1} << 20;

  std::string_view text_;
  const char* data_;
  std::size_t size_;
  std::size_t longest_copied_ = SIZE_MAX;
  std::optional<std::pair<std::size_t, std::size_t>> left_;
  std::size_t pos_ = 0;
  int depth_budget_ = kDepthBudget;
  std::vector<Slot> slots_;
  std::vector<JsonValue> built_;
  std::vector<internal::MemberSortKey> sort_keys_;
  const char* error_ = "";
  std::size_t error_offset_ = 0;
};

}  // namespace

std::expected<JsonValue, JsonParseError> parse_json(std::string_view text) {
  return Parser(text).parse_document();
}

namespace {

JsonValue* find_text_placeholder(JsonValue& value) {
  if (internal::is_text_placeholder(value)) return &value;
  if (JsonArray* elements = value.as_array()) {
    for (JsonValue& element : *elements) {
      if (JsonValue* found = find_text_placeholder(element)) return found;
    }
  } else if (JsonObject* members = value.as_object()) {
    for (JsonMember& member : *members) {
      if (JsonValue* found = find_text_placeholder(member.value)) return found;
    }
  }
  return nullptr;
}

}  // namespace

std::expected<JsonValue, JsonParseError> parse_json_taking(std::string&& text) {
  Parser parser(text);
  parser.leave_longest_string();
  auto value = parser.parse_document();
  if (const auto left = parser.left_string(); value && left) {
    internal::take_text(*find_text_placeholder(*value), std::move(text), left->first, left->second);
  }
  return value;
}

}  // namespace brelvo::json
