#include "json/internal/shortest_digits.h"

#include <dragonbox/dragonbox.h>
#include <bit>
#include <cstdint>
#include <cstring>

namespace brelvo::json::internal {
namespace {

constexpr char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

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
std::size_t digit_count(std::uint64_t v) {
  const auto guess = static_cast<std::size_t>((std::bit_width(v) * 1233) >> 12);
  return guess + (v >= kPowersOfTen[guess]);
}

// Writes the digits of v so that they end at end, two at a time from the right.
void put_digits(char* end, std::uint64_t v) {
  while (v >= 100) {
    end -= 2;
    std::memcpy(end, kPairs + v % 100 * 2, 2);
    v /= 100;
  }
  if (v >= 10) {
    std::memcpy(end - 2, kPairs + v * 2, 2);
  } else {
    end[-1] = static_cast<char>('0' + v);
  }
}

}  // namespace

ShortestDigits shortest_digits(double d, char* digits) {
  const auto decimal = jkj::dragonbox::to_decimal(d, jkj::dragonbox::policy::sign::ignore);
  const std::size_t count = digit_count(decimal.significand);
  put_digits(digits + count, decimal.significand);
  return {count, decimal.exponent + static_cast<int>(count) - 1};
}

}  // namespace brelvo::json::internal
