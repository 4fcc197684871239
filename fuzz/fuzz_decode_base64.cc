// decode_base64 agrees with a plain reference decoder on every input: the
// same bytes when both accept, and a rejection exactly when the reference
// rejects.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "json/base64.h"

namespace {

int sextet(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// Canonical padded Base64 only: length a multiple of 4, "=" only at the end
// (at most two), and no stray bits in the last symbol.
std::optional<std::string> reference_decode(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::string out;
  for (std::size_t i = 0; i < text.size(); i += 4) {
    const bool last = i + 4 == text.size();
    int values[4];
    int padding = 0;
    for (int k = 0; k < 4; ++k) {
      const char c = text[i + k];
      if (c == '=' && last && k >= 2) {
        ++padding;
        values[k] = 0;
        continue;
      }
      if (padding > 0) return std::nullopt;
      values[k] = sextet(c);
      if (values[k] < 0) return std::nullopt;
    }
    const std::uint32_t bits = values[0] << 18 | values[1] << 12 | values[2] << 6 | values[3];
    if ((padding == 2 && (values[1] & 0x0F)) || (padding == 1 && (values[2] & 0x03)))
      return std::nullopt;
    out.push_back(static_cast<char>(bits >> 16));
    if (padding < 2) out.push_back(static_cast<char>(bits >> 8));
    if (padding < 1) out.push_back(static_cast<char>(bits));
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  auto decoded = brelvo::json::decode_base64(text);
  auto expected = reference_decode(text);
  if (decoded.has_value() != expected.has_value()) std::abort();
  if (decoded && *decoded != *expected) std::abort();
  if (!decoded && decoded.error().message().empty()) std::abort();
  return 0;
}
