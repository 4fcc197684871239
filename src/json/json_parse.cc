#include "json/json_parse.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <span>
#include <vector>

#include "json/string_scan.h"

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

void append_utf8(std::string& out, std::uint32_t cp) {
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

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text), data_(text.data()), size_(text.size()) {}

  std::expected<JsonValue, JsonParseError> parse_document() {
    // Room for a few levels of typical objects; large texts grow from there.
    member_stack_.reserve(std::min<std::size_t>(size_ / 16, 256));
    JsonValue value;
    skip_space();
    if (!parse_value(value)) return std::unexpected(locate(error_, text_, error_offset_));
    skip_space();
    if (pos_ != size_) {
      fail_at_byte("trailing characters");
      return std::unexpected(locate(error_, text_, error_offset_));
    }
    return value;
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

  bool parse_value(JsonValue& out) {
    if (at_end()) return fail_at_end("EOF while parsing a value");
    switch (peek()) {
      case '"':
        return parse_string(out.emplace_string());
      case '[':
        return parse_array(out);
      case '{':
        return parse_object(out);
      case 't':
        return parse_literal("true", JsonValue(true), out);
      case 'f':
        return parse_literal("false", JsonValue(false), out);
      case 'n':
        return parse_literal("null", JsonValue(nullptr), out);
      default:
        if (peek() == '-' || is_digit(peek())) return parse_number(out);
        return fail_at_byte("expected value");
    }
  }

  bool parse_literal(std::string_view word, JsonValue value, JsonValue& out) {
    for (std::size_t i = 1; i < word.size(); ++i) {
      ++pos_;
      if (at_end()) return fail_at_end("EOF while parsing a value");
      if (peek() != word[i]) return fail_at_byte("expected ident");
    }
    ++pos_;
    out = std::move(value);
    return true;
  }

  // Digits after a point or exponent letter: at least one is required.
  bool require_digits() {
    if (at_end()) return fail_at_end("EOF while parsing a value");
    if (!is_digit(peek())) return fail_at_byte("invalid number");
    pos_ += digit_run_length(data_ + pos_, size_ - pos_);
    return true;
  }

  bool parse_number(JsonValue& out) {
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
    if (!is_float && integer_fits(start, int_end, negative, out)) return true;
    return parse_float(start, out);
  }

  // Integers in range keep an integer kind; -0 and out-of-range integers
  // become floats.
  bool integer_fits(std::size_t start, std::size_t end, bool negative, JsonValue& out) const {
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
      out = JsonValue(JsonNumber::from_unsigned(magnitude));
      return true;
    }
    constexpr std::uint64_t kMinMagnitude = std::uint64_t{1} << 63;
    if (magnitude == 0 || magnitude > kMinMagnitude) return false;
    const auto value =
        magnitude == kMinMagnitude ? INT64_MIN : -static_cast<std::int64_t>(magnitude);
    out = JsonValue(JsonNumber::from_signed(value));
    return true;
  }

  bool parse_float(std::size_t start, JsonValue& out) {
    double value = 0.0;
    auto [ptr, ec] = std::from_chars(data_ + start, data_ + pos_, value);
    if (ec == std::errc::result_out_of_range) {
      if (overflows(text_.substr(start, pos_ - start))) return fail("number out of range", pos_);
      value = data_[start] == '-' ? -0.0 : 0.0;
    }
    out = JsonValue(JsonNumber::from_double(value));
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

  bool parse_unicode_escape(std::string& out) {
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

  bool parse_escape(std::string& out) {
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

  bool parse_string(std::string& out) {
    ++pos_;  // the opening quote
    for (;;) {
      const std::size_t run = plain_run_length(data_ + pos_, size_ - pos_);
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

  int level() const { return kDepthBudget - depth_budget_; }

  bool enter_container() {
    if (--depth_budget_ == 0) return fail_at_byte("recursion limit exceeded");
    ++pos_;
    skip_space();
    return true;
  }

  // The arrays at one depth tend to have one length (the records of a list,
  // the coordinate lists of a mesh): each level reserves what its previous
  // array held, and elements are parsed in place.
  bool parse_array(JsonValue& out) {
    if (!enter_container()) return false;
    std::uint32_t& length_hint = array_length_hints_[static_cast<std::size_t>(level())];
    JsonArray elements;
    if (length_hint > 0) elements.reserve(length_hint);
    if (at_end()) return fail_at_end("EOF while parsing a list");
    if (peek() != ']') {
      for (;;) {
        if (!parse_value(elements.emplace_back())) return false;
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
    length_hint = static_cast<std::uint32_t>(elements.size());
    out = JsonValue(std::move(elements));
    return true;
  }

  // Objects vary in size more than arrays do: their members collect on one
  // stack shared by all levels, and each object is allocated once, at its
  // final size. A member's value that is itself a container grows the stack
  // while it is parsed, so it is built aside and moved in.
  bool parse_member_value() {
    const std::size_t top = member_stack_.size() - 1;
    if (at_end() || (peek() != '[' && peek() != '{')) {
      return parse_value(member_stack_[top].value);
    }
    JsonValue container;
    if (!parse_value(container)) return false;
    member_stack_[top].value = std::move(container);
    return true;
  }

  bool parse_member() {
    JsonMember& member = member_stack_.emplace_back();
    if (!parse_string(member.key)) return false;
    skip_space();
    if (at_end()) return fail_at_end("EOF while parsing an object");
    if (peek() != ':') return fail_at_byte("expected `:`");
    ++pos_;
    skip_space();
    return parse_member_value();
  }

  bool parse_object(JsonValue& out) {
    if (!enter_container()) return false;
    const std::size_t base = member_stack_.size();
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
    const std::span<JsonMember> members(member_stack_.begin() + static_cast<std::ptrdiff_t>(base),
                                        member_stack_.end());
    out = JsonValue(JsonObject::from_members(members));
    member_stack_.resize(base);
    return true;
  }

  std::string_view text_;
  const char* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
  int depth_budget_ = kDepthBudget;
  std::array<std::uint32_t, kDepthBudget> array_length_hints_{};
  std::vector<JsonMember> member_stack_;
  const char* error_ = "";
  std::size_t error_offset_ = 0;
};

}  // namespace

std::expected<JsonValue, JsonParseError> parse_json(std::string_view text) {
  return Parser(text).parse_document();
}

}  // namespace brelvo::json
