// decode_base64: the standard alphabet of RFC 4648, padding required.
//
//   decode_base64("QQ==")  -> {0x41}
//   decode_base64("QQ")    -> Base64Error "Invalid padding"
//   decode_base64("QR==")  -> Base64Error "Invalid last symbol 82, offset 1."
#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <string>
#include <string_view>

namespace brelvo::json {

struct Base64Error {
  enum class Kind : std::uint8_t {
    kInvalidSymbol,
    kInvalidLength,
    kInvalidLastSymbol,
    kInvalidPadding
  };
  Kind kind = Kind::kInvalidPadding;
  // Offset of the offending byte, or the reported length for kInvalidLength.
  std::size_t offset = 0;
  std::uint8_t byte = 0;

  std::string message() const;

  friend bool operator==(const Base64Error&, const Base64Error&) = default;
};

// The decoded bytes, in a std::string used as a byte buffer.
std::expected<std::string, Base64Error> decode_base64(std::string_view text);

}  // namespace brelvo::json
