#include "json/json_error.h"

namespace brelvo::json {

std::string JsonParseError::message() const {
  if (line == 0) return description;
  return description + " at line " + std::to_string(line) + " column " + std::to_string(column);
}

}  // namespace brelvo::json
