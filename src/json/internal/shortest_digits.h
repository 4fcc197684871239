#pragma once

#include <cstddef>

// The shortest decimal digits of a double that read back to it, for the
// printer. Kept apart so that the digits can be checked on their own.
namespace brelvo::json::internal {

// Digits and decimal exponent of a finite, positive d: d is d1.d2...dn x 10^exponent.
struct ShortestDigits {
  std::size_t count;
  int exponent;
};

// Writes d1..dn (at most 17) at digits: the fewest digits
// that read back to d, the nearest to d of those (ties to an even last digit).
ShortestDigits shortest_digits(double d, char* digits);

}  // namespace brelvo::json::internal
