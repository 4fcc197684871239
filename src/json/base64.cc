#include "json/base64.h"

#include <array>
#include <cstring>

namespace brelvo::json {
namespace {

constexpr std::uint8_t kInvalid = 0xFF;

constexpr std::array<std::uint8_t, 256> make_sextets() {
  std::array<std::uint8_t, 256> table{};
  table.fill(kInvalid);
  const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (std::uint8_t i = 0; i < 64; ++i) table[static_cast<unsigned char>(alphabet[i])] = i;
  return table;
}
constexpr std::array<std::uint8_t, 256> kSextets = make_sextets();

// For the hot loop: each symbol's bits already shifted to its place in the
// 24-bit group; an invalid symbol sets bit 24 so one test covers four bytes.
constexpr std::uint32_t kBad = 1u << 24;
constexpr std::array<std::uint32_t, 256> make_shifted(int shift) {
  std::array<std::uint32_t, 256> table{};
  for (int c = 0; c < 256; ++c) {
    const std::uint8_t v = kSextets[static_cast<std::size_t>(c)];
    table[static_cast<std::size_t>(c)] =
        v == kInvalid ? kBad : static_cast<std::uint32_t>(v) << shift;
  }
  return table;
}
constexpr auto kShift18 = make_shifted(18);
constexpr auto kShift12 = make_shifted(12);
constexpr auto kShift6 = make_shifted(6);
constexpr auto kShift0 = make_shifted(0);

bool is_symbol(char c) {
  return kSextets[static_cast<unsigned char>(c)] != kInvalid;
}

Base64Error invalid_symbol(std::size_t offset, char byte) {
  return {Base64Error::Kind::kInvalidSymbol, offset, static_cast<std::uint8_t>(byte)};
}

std::uint32_t group_bits(const unsigned char* p) {
  return kShift18[p[0]] | kShift12[p[1]] | kShift6[p[2]] | kShift0[p[3]];
}

// Decodes every full group before the final one into out; fails at the first
// byte outside the alphabet.
std::expected<void, Base64Error> decode_body(std::string_view body, char* out) {
  const auto* in = reinterpret_cast<const unsigned char*>(body.data());
  const std::size_t groups = body.size() / 4;
  for (std::size_t g = 0; g < groups; ++g, in += 4, out += 3) {
    const std::uint32_t bits = group_bits(in);
    if (bits & kBad) {
      for (std::size_t k = 0; k < 4; ++k) {
        if (!is_symbol(static_cast<char>(in[k])))
          return std::unexpected(invalid_symbol(g * 4 + k, static_cast<char>(in[k])));
      }
    }
    out[0] = static_cast<char>(bits >> 16);
    out[1] = static_cast<char>(bits >> 8);
    out[2] = static_cast<char>(bits);
  }
  return {};
}

struct FinalGroup {
  std::size_t symbols = 0;
  std::size_t padding = 0;
};

std::expected<FinalGroup, Base64Error> scan_final_group(std::string_view text, std::size_t start) {
  FinalGroup group;
  std::size_t first_pad = 0;
  for (std::size_t i = start; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '=') {
      if (i - start < 2) return std::unexpected(invalid_symbol(i, c));
      if (group.padding++ == 0) first_pad = i;
    } else if (group.padding > 0) {
      return std::unexpected(invalid_symbol(first_pad, '='));
    } else if (!is_symbol(c)) {
      return std::unexpected(invalid_symbol(i, c));
    } else {
      ++group.symbols;
    }
  }
  return group;
}

}  // namespace

std::string Base64Error::message() const {
  switch (kind) {
    case Kind::kInvalidSymbol:
      return "Invalid symbol " + std::to_string(byte) + ", offset " + std::to_string(offset) + ".";
    case Kind::kInvalidLength:
      return "Invalid input length: " + std::to_string(offset);
    case Kind::kInvalidLastSymbol:
      return "Invalid last symbol " + std::to_string(byte) + ", offset " + std::to_string(offset) +
             ".";
    case Kind::kInvalidPadding:
      return "Invalid padding";
  }
  return {};
}

std::expected<std::string, Base64Error> decode_base64(std::string_view text) {
  if (text.empty()) return std::string();
  const std::size_t remainder = text.size() % 4;
  const std::size_t final_start = text.size() - (remainder == 0 ? 4 : remainder);
  if (remainder == 1 && text.back() != '=' && !is_symbol(text.back())) {
    return std::unexpected(invalid_symbol(text.size() - 1, text.back()));
  }
  std::string out;
  // Every byte is written below; no need to zero 32 MiB first.
  out.resize_and_overwrite(final_start / 4 * 3 + 3, [](char*, std::size_t n) { return n; });
  if (auto body = decode_body(text.substr(0, final_start), out.data()); !body) {
    return std::unexpected(body.error());
  }
  auto group = scan_final_group(text, final_start);
  if (!group) return std::unexpected(group.error());
  if (group->symbols < 2) {
    return std::unexpected(
        Base64Error{Base64Error::Kind::kInvalidLength, final_start + group->symbols, 0});
  }
  if ((group->symbols + group->padding) % 4 != 0) {
    return std::unexpected(Base64Error{Base64Error::Kind::kInvalidPadding, 0, 0});
  }
  unsigned char last4[4] = {'A', 'A', 'A', 'A'};
  std::memcpy(last4, text.data() + final_start, group->symbols);
  const std::uint32_t bits = group_bits(last4);
  const std::size_t last = final_start + group->symbols - 1;
  const std::uint8_t unused_mask = group->symbols == 2 ? 0x0F : group->symbols == 3 ? 0x03 : 0x00;
  if (kSextets[static_cast<unsigned char>(text[last])] & unused_mask) {
    return std::unexpected(Base64Error{Base64Error::Kind::kInvalidLastSymbol, last,
                                       static_cast<std::uint8_t>(text[last])});
  }
  char* tail = out.data() + final_start / 4 * 3;
  tail[0] = static_cast<char>(bits >> 16);
  tail[1] = static_cast<char>(bits >> 8);
  tail[2] = static_cast<char>(bits);
  out.resize(final_start / 4 * 3 + group->symbols - 1);
  return out;
}

}  // namespace brelvo::json
