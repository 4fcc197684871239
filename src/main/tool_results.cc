#include "main/tool_results.h"

#include "json/json_text.h"

namespace brelvo::cli {

bool has_error_member(const json::JsonValue& answer) {
  return answer.get("error") != nullptr;
}

json::JsonValue strip_images(json::JsonValue answer) {
  std::optional<json::JsonValue> image = answer.remove("imageBase64");
  if (image && image->is_string()) {
    const std::uint64_t length = image->as_string()->size();
    answer.insert("imageBytes", length * 3 / 4);
    answer.insert("note", kImageNote);
  }
  return answer;
}

std::expected<json::JsonValue, bridge::BridgeError> check_tool_result(json::JsonValue answer) {
  if (const json::JsonValue* error = answer.get("error")) {
    const std::optional<std::string_view> text = error->as_string();
    return std::unexpected(bridge::BridgeError::coded(
        "tool_failed", text ? std::string(*text) : json::to_compact_text(*error)));
  }
  return strip_images(std::move(answer));
}

}  // namespace brelvo::cli
