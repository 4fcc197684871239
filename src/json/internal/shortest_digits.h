#pragma once

#include <cstddef>

// The shortest decimal digits of a double that read back to it, for the
// printer. Kept apart so that the digits can be checked on their own.
namespace brelvo::json::internal {

// A double needs at most 17 significant digits.
inline constexpr std::size_t kMaxDigits = 17;
// Zeros after the digits: the printer copies digits in pieces of this size.
inline constexpr std::size_t kDigitsPadding = 16;

// Where shortest_digits writes.
struct DigitBuffer {
  char bytes[kMaxDigits + kDigitsPadding];
};

// The digits d1..dn of a finite, positive d at first, followed by
// kDigitsPadding zeros, and the decimal exponent: d is d1.d2...dn x 10^exponent.
struct ShortestDigits {
  const char* first;
  int count;
  int exponent;
};

// The fewest digits that read back to d, the nearest to d of those (ties
// to an even last digit), written into buffer.
ShortestDigits shortest_digits(double d, DigitBuffer& buffer);

}  // namespace brelvo::json::internal
