// JsonParseError: why a JSON text was rejected, and where.
#pragma once

#include <cstdint>
#include <string>

namespace brelvo::json {

struct JsonParseError {
  std::string description;
  // 1-based line; 0 means the error carries no position.
  std::uint64_t line = 0;
  // Byte column within the line; 0 when the error is at the start of a line
  // that is empty so far (a text ending in a line feed).
  std::uint64_t column = 0;

  // "expected value at line 1 column 1", or the description alone for line 0.
  std::string message() const;

  friend bool operator==(const JsonParseError&, const JsonParseError&) = default;
};

}  // namespace brelvo::json
