// MCP tool results: what a tools/call answers, built from the application's
// tool result or from a failure of the control link.
//
//   relay_result({"count":2,"imageBase64":"iVBO"})
//     -> {"content":[{"text":"{\"count\":2}","type":"text"},
//                    {"data":"iVBO","mimeType":"image/png","type":"image"}],"isError":false}
//   failure_content(BridgeError::not_running("Brelvo is not running."))
//     -> {"content":[{"text":"Brelvo is not running. Call launch_brelvo to start it.",
//                     "type":"text"}],"isError":true}
#pragma once

#include <string>
#include <string_view>

#include "bridge/bridge_error.h"
#include "json/json_value.h"

namespace brelvo::mcp {

inline constexpr std::string_view kLaunchAdvice = " Call launch_brelvo to start it.";
inline constexpr std::string_view kRetryAdvice = " Wait a few seconds and retry.";

// A result with one text item.
json::JsonValue text_result(std::string text, bool is_error);

// The compact text of the value as a text item, its "imageBase64" string (if
// any) as an image item, and isError when it has an "error" member. Large
// strings are moved, never copied.
json::JsonValue relay_result(json::JsonValue value);

// The error's message with advice on what the model can do about it.
json::JsonValue failure_content(const bridge::BridgeError& error);

}  // namespace brelvo::mcp
