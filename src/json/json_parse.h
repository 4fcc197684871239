// parse_json: one JSON text to a JsonValue.
//
//   parse_json(R"({"b":1,"a":2,"b":3})")   -> {"a":2,"b":3}  (last key wins)
//   parse_json("[1,]")  -> JsonParseError{"trailing comma", line 1, column 4}
//   parse_json("[1\n")  -> JsonParseError{"EOF while parsing a list", 2, 0}
//
// The text must be UTF-8 (callers check) and hold exactly one value with only
// JSON white space around it. Nesting is limited to 127 containers. Line and
// column are worked out from the failing byte offset only when a parse fails.
#pragma once

#include <expected>
#include <string>
#include <string_view>

#include "json/json_error.h"
#include "json/json_value.h"

namespace brelvo::json {

std::expected<JsonValue, JsonParseError> parse_json(std::string_view text);

// The same, taking the text: a string value that is most of it (a large tool
// result, an image's Base64) keeps the text's own buffer instead of a copy,
// so that the text and that value are never both held.
std::expected<JsonValue, JsonParseError> parse_json_taking(std::string&& text);

}  // namespace brelvo::json
