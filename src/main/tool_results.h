// What a tool's answer means to the command line: an `error` member is a
// tool failure, and an inline image is replaced by a note about its size.
#pragma once

#include <expected>

#include "bridge/bridge_error.h"
#include "json/json_value.h"

namespace brelvo::cli {

inline constexpr std::string_view kImageNote =
    "image omitted; use `brelvo-cli screenshot --out FILE.png`";

// True for an object with an `error` member, whatever its value.
bool has_error_member(const json::JsonValue& answer);

// A top-level string `imageBase64` becomes `imageBytes` (its decoded size,
// worked out from the length) and `note`; any other `imageBase64` is dropped.
json::JsonValue strip_images(json::JsonValue answer);

// An `error` member gives the "tool_failed" error (its string, or its compact
// text); anything else is returned through strip_images.
std::expected<json::JsonValue, bridge::BridgeError> check_tool_result(json::JsonValue answer);

}  // namespace brelvo::cli
