#include "mcp/tool_result.h"

#include <optional>
#include <utility>

#include "json/json_text.h"

namespace brelvo::mcp {

using json::JsonArray;
using json::JsonObject;
using json::JsonValue;

namespace {

constexpr std::string_view kDefaultImageType = "image/png";

JsonValue text_item(std::string text) {
  json::JsonMember members[] = {{"text", std::move(text)}, {"type", "text"}};
  return JsonObject::from_members(members);
}

// Both are string values; the data, often megabytes, is moved, never copied.
JsonValue image_item(JsonValue data, JsonValue mime_type) {
  json::JsonMember members[] = {
      {"data", std::move(data)}, {"mimeType", std::move(mime_type)}, {"type", "image"}};
  return JsonObject::from_members(members);
}

JsonValue tool_result(JsonArray content, bool is_error) {
  json::JsonMember members[] = {{"content", std::move(content)}, {"isError", is_error}};
  return JsonObject::from_members(members);
}

// Takes "imageBase64" out of the value; a non-string one is dropped and then
// leaves "mimeType" where it is.
std::optional<JsonValue> take_image_item(JsonValue& value) {
  std::optional<JsonValue> data = value.remove("imageBase64");
  if (!data || !data->is_string()) return std::nullopt;
  std::optional<JsonValue> mime_type = value.remove("mimeType");
  JsonValue type =
      mime_type && mime_type->is_string() ? std::move(*mime_type) : JsonValue(kDefaultImageType);
  return image_item(std::move(*data), std::move(type));
}

std::string_view advice_for(const bridge::BridgeError& error) {
  switch (error.kind()) {
    case bridge::BridgeError::Kind::kNotRunning:
      return kLaunchAdvice;
    case bridge::BridgeError::Kind::kCoded:
      return error.code() == "not_ready" ? kRetryAdvice : std::string_view();
    case bridge::BridgeError::Kind::kTimeout:
    case bridge::BridgeError::Kind::kIo:
      break;
  }
  return {};
}

}  // namespace

json::JsonValue text_result(std::string text, bool is_error) {
  JsonArray content;
  content.push_back(text_item(std::move(text)));
  return tool_result(std::move(content), is_error);
}

json::JsonValue relay_result(json::JsonValue value) {
  bool is_error = value.get("error") != nullptr;
  std::optional<JsonValue> image = take_image_item(value);
  JsonArray content;
  content.push_back(text_item(json::to_compact_text(value)));
  if (image) content.push_back(std::move(*image));
  return tool_result(std::move(content), is_error);
}

json::JsonValue failure_content(const bridge::BridgeError& error) {
  return text_result(error.message() + std::string(advice_for(error)), true);
}

}  // namespace brelvo::mcp
