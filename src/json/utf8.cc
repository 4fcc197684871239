#include "json/utf8.h"

#include <cstdint>
#include <cstring>

namespace brelvo::json {
namespace {

// Length of the well-formed sequence at text[i], or 0 when it is ill-formed.
// Follows the Unicode table of well-formed byte sequences (no overlongs, no
// surrogates, nothing above U+10FFFF).
std::size_t sequence_length(std::string_view text, std::size_t i) {
  const auto b0 = static_cast<unsigned char>(text[i]);
  if (b0 < 0x80) return 1;
  auto byte = [&](std::size_t k) -> unsigned {
    return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0u;
  };
  auto cont = [](unsigned b) { return b >= 0x80 && b <= 0xBF; };
  const unsigned b1 = byte(1);
  if (b0 >= 0xC2 && b0 <= 0xDF) return cont(b1) ? 2 : 0;
  if (b0 >= 0xE0 && b0 <= 0xEF) {
    const unsigned lo = b0 == 0xE0 ? 0xA0 : 0x80;
    const unsigned hi = b0 == 0xED ? 0x9F : 0xBF;
    return b1 >= lo && b1 <= hi && cont(byte(2)) ? 3 : 0;
  }
  if (b0 >= 0xF0 && b0 <= 0xF4) {
    const unsigned lo = b0 == 0xF0 ? 0x90 : 0x80;
    const unsigned hi = b0 == 0xF4 ? 0x8F : 0xBF;
    return b1 >= lo && b1 <= hi && cont(byte(2)) && cont(byte(3)) ? 4 : 0;
  }
  return 0;
}

// Bytes of the maximal ill-formed subpart at text[i] (at least 1): the lead
// byte and the continuation bytes that could still have completed it.
std::size_t ill_formed_length(std::string_view text, std::size_t i) {
  const auto b0 = static_cast<unsigned char>(text[i]);
  std::size_t expected = b0 >= 0xF0 && b0 <= 0xF4   ? 4
                         : b0 >= 0xE0 && b0 <= 0xEF ? 3
                         : b0 >= 0xC2 && b0 <= 0xDF ? 2
                                                    : 1;
  std::size_t n = 1;
  for (; n < expected && i + n < text.size(); ++n) {
    const auto b = static_cast<unsigned char>(text[i + n]);
    unsigned lo = 0x80;
    unsigned hi = 0xBF;
    if (n == 1 && b0 == 0xE0) lo = 0xA0;
    if (n == 1 && b0 == 0xED) hi = 0x9F;
    if (n == 1 && b0 == 0xF0) lo = 0x90;
    if (n == 1 && b0 == 0xF4) hi = 0x8F;
    if (b < lo || b > hi) break;
  }
  return n;
}

bool is_ascii_block(const char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return (word & 0x8080808080808080ULL) == 0;
}

// Byte length of the White_Space character at text[i], or 0 when it is none.
std::size_t space_length_at(std::string_view text, std::size_t i) {
  const auto b0 = static_cast<unsigned char>(text[i]);
  if (b0 == ' ' || (b0 >= 0x09 && b0 <= 0x0D)) return 1;
  auto rest = text.substr(i);
  if (rest.starts_with("\xC2\x85") || rest.starts_with("\xC2\xA0")) return 2;
  if (rest.size() < 3) return 0;
  const auto b1 = static_cast<unsigned char>(rest[1]);
  const auto b2 = static_cast<unsigned char>(rest[2]);
  if (b0 == 0xE1 && b1 == 0x9A && b2 == 0x80) return 3;  // U+1680
  if (b0 == 0xE2 && b1 == 0x80 && (b2 <= 0x8A || b2 == 0xA8 || b2 == 0xA9 || b2 == 0xAF)) return 3;
  if (b0 == 0xE2 && b1 == 0x81 && b2 == 0x9F) return 3;  // U+205F
  if (b0 == 0xE3 && b1 == 0x80 && b2 == 0x80) return 3;  // U+3000
  return 0;
}

// Start of the UTF-8 character that ends just before `end`.
std::size_t previous_char_start(std::string_view text, std::size_t end) {
  std::size_t i = end - 1;
  while (i > 0 && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80 && end - i < 4) --i;
  return i;
}

}  // namespace

bool is_valid_utf8(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    if (i + 8 <= bytes.size() && is_ascii_block(bytes.data() + i)) {
      i += 8;
      continue;
    }
    const std::size_t n = sequence_length(bytes, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::string to_utf8_lossy(std::string_view bytes) {
  if (is_valid_utf8(bytes)) return std::string(bytes);
  std::string out;
  out.reserve(bytes.size() + 8);
  std::size_t i = 0;
  while (i < bytes.size()) {
    if (const std::size_t n = sequence_length(bytes, i)) {
      out.append(bytes.substr(i, n));
      i += n;
    } else {
      out.append("\xEF\xBF\xBD");
      i += ill_formed_length(bytes, i);
    }
  }
  return out;
}

std::string path_text_lossy(const std::filesystem::path& path) {
  return to_utf8_lossy(path.native());
}

std::string_view trim_unicode_space_start(std::string_view text) {
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t n = space_length_at(text, start);
    if (n == 0) break;
    start += n;
  }
  return text.substr(start);
}

std::string_view trim_unicode_space(std::string_view text) {
  text = trim_unicode_space_start(text);
  std::size_t end = text.size();
  while (end > 0) {
    const std::size_t start = previous_char_start(text, end);
    if (space_length_at(text, start) != end - start) break;
    end = start;
  }
  return text.substr(0, end);
}

}  // namespace brelvo::json
