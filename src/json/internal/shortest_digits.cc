#include "json/internal/shortest_digits.h"

#include <dragonbox/dragonbox.h>
#include <bit>
#include <cstdint>
#include <cstring>

#include "json/internal/string_scan.h"

namespace brelvo::json::internal {
namespace {

constexpr std::uint64_t kPowersOfTen[] = {1,
                                          10,
                                          100,
                                          1000,
                                          10000,
                                          100000,
                                          1000000,
                                          10000000,
                                          100000000,
                                          1000000000,
                                          10000000000,
                                          100000000000,
                                          1000000000000,
                                          10000000000000,
                                          100000000000000,
                                          1000000000000000,
                                          10000000000000000,
                                          100000000000000000};

// Decimal digits of v, which is below 10^17: the bit width gives the count
// or one less, without a loop.
int digit_count(std::uint64_t v) {
  const auto guess = static_cast<std::size_t>((std::bit_width(v) * 1233) >> 12);
  return static_cast<int>(guess + (v >= kPowersOfTen[guess]));
}

// The eight decimal digits of v (below 10^8, leading zeros included), one
// digit's value a byte, the first digit in the top byte. The digits are split
// in one register, 4 + 4, then 2 + 2, then 1 + 1, each split a
// multiplication by a scaled reciprocal that is exact below 10^4, 10^2 and
// 10, instead of eight dependent divisions by ten.
std::uint64_t eight_digits(std::uint32_t v) {
  std::uint64_t x = v;
  x += (0x1'0000'0000 - 10000) * ((x * 0x68D'B8BB) >> 40);
  x += (0x1'0000 - 100) * (((x * 0x147B) >> 19) & 0x7F'0000'007F);
  x += (0x100 - 10) * (((x * 0x67) >> 10) & 0xF'000F'000F'000F);
  return x;
}

void put_eight_digits(std::uint64_t digits, char* out) {
  store_little_endian(std::byteswap(digits) + 0x3030'3030'3030'3030, out);
}

}  // namespace

ShortestDigits shortest_digits(double d, DigitBuffer& buffer) {
  const auto decimal = jkj::dragonbox::to_decimal(d, jkj::dragonbox::policy::sign::ignore,
                                                  jkj::dragonbox::policy::trailing_zero::ignore);
  const std::uint64_t v = decimal.significand;
  const std::uint64_t upper = v / 100'000'000;
  const std::uint64_t middle = eight_digits(static_cast<std::uint32_t>(upper % 100'000'000));
  const std::uint64_t lower = eight_digits(static_cast<std::uint32_t>(v % 100'000'000));
  char* const out = buffer.bytes;
  out[0] = static_cast<char>('0' + upper / 100'000'000);
  put_eight_digits(middle, out + 1);
  put_eight_digits(lower, out + 9);
  std::memset(out + kMaxDigits, '0', kDigitsPadding);
  const int length = digit_count(v);
  const int trailing_zeros =
      lower == 0 ? 8 + std::countr_zero(middle) / 8 : std::countr_zero(lower) / 8;
  return {out + kMaxDigits - length, length - trailing_zeros, decimal.exponent + length - 1};
}

}  // namespace brelvo::json::internal
