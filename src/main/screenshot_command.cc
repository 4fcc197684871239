// screenshot --out FILE: the application's image, decoded and written as is.
#include "json/base64.h"
#include "json/json_text.h"
#include "main/handlers.h"
#include "platform/files.h"

namespace brelvo::cli {

CommandResult screenshot_command(bridge::ControlLink& link, std::uint64_t tool_timeout,
                                 Arguments& args) {
  const std::optional<std::string> out = take_option(args, "--out");
  if (!out) return std::unexpected(usage_error("screenshot --out FILE.png"));
  auto answer = link.exec_tool("screenshot", json::JsonObject{}, tool_timeout);
  if (!answer) return std::unexpected(std::move(answer.error()));
  if (const json::JsonValue* error = answer->get("error")) {
    return std::unexpected(
        bridge::BridgeError::coded("tool_failed", json::to_compact_text(*error)));
  }
  const std::optional<std::string_view> image = answer->get_string("imageBase64");
  if (!image) return std::unexpected(bridge::BridgeError::io("no image in the answer"));
  auto bytes = json::decode_base64(*image);
  if (!bytes) return std::unexpected(bridge::BridgeError::io(bytes.error().message()));
  if (auto written = platform::write_whole_file(*out, *bytes); !written) {
    return std::unexpected(bridge::BridgeError::from_errno(written.error(), *out));
  }
  json::JsonValue* mime_type = answer->get("mimeType");
  json::JsonObject result;
  result.insert("bytes", static_cast<std::uint64_t>(bytes->size()));
  result.insert("mimeType", mime_type ? std::move(*mime_type) : json::JsonValue());
  result.insert("ok", true);
  result.insert("out", *out);
  return result;
}

}  // namespace brelvo::cli
