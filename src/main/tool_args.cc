#include "main/tool_args.h"

#include "json/json_parse.h"
#include "json/utf8.h"

namespace brelvo::cli {
namespace {

bool is_json_object_word(const std::vector<std::string>& words) {
  return words.size() == 1 && json::trim_unicode_space_start(words[0]).starts_with('{');
}

}  // namespace

std::expected<json::JsonValue, bridge::BridgeError> parse_tool_args(
    const std::vector<std::string>& words) {
  if (is_json_object_word(words)) {
    auto value = json::parse_json(words[0]);
    if (!value)
      return std::unexpected(
          bridge::BridgeError::coded("usage", "bad JSON arguments: " + value.error().message()));
    return std::move(*value);
  }
  std::vector<json::JsonMember> members;
  members.reserve(words.size());
  for (const std::string& word : words) {
    const std::size_t equals = word.find('=');
    if (equals == std::string::npos) {
      return std::unexpected(
          bridge::BridgeError::coded("usage", "expected key=value, got " + word));
    }
    std::string_view text = std::string_view(word).substr(equals + 1);
    auto parsed = json::parse_json(text);
    members.push_back(
        {word.substr(0, equals), parsed ? std::move(*parsed) : json::JsonValue(text)});
  }
  return json::JsonObject::from_members(members);
}

}  // namespace brelvo::cli
