// The tool methods of McpServer: the server's own launch_brelvo tool, and
// the application's tools relayed over the control link.
#include <algorithm>
#include <iterator>
#include <utility>

#include "json/json_text.h"
#include "mcp/mcp_server.h"
#include "mcp/tool_result.h"

namespace brelvo::mcp {

using json::JsonArray;
using json::JsonObject;
using json::JsonValue;

namespace {

constexpr std::string_view kLaunchToolName = "launch_brelvo";

JsonValue launch_tool_record() {
  JsonObject input_schema;
  input_schema.insert("properties", JsonObject{});
  input_schema.insert("type", "object");
  JsonObject record;
  record.insert("description",
                "Start Brelvo Desktop if it is not running and wait until it is ready. Returns "
                "the app version. Call this when other tools report that Brelvo is not running.");
  record.insert("inputSchema", std::move(input_schema));
  record.insert("name", kLaunchToolName);
  return record;
}

JsonValue tools_list_changed() {
  JsonObject notification;
  notification.insert("jsonrpc", "2.0");
  notification.insert("method", "notifications/tools/list_changed");
  return notification;
}

// The "arguments" object, moved out of the params; an empty object when it
// is missing or not an object.
JsonValue take_arguments(JsonValue& params) {
  std::optional<JsonValue> arguments = params.remove("arguments");
  if (arguments && arguments->is_object()) return std::move(*arguments);
  return JsonObject{};
}

}  // namespace

json::JsonValue McpServer::list_tools() {
  JsonArray tools;
  tools.push_back(launch_tool_record());
  auto catalogue = link_.request("commands", nullptr, bridge::kCommandsTimeout);
  JsonArray* entries = catalogue ? catalogue->as_array() : nullptr;
  tools_relayed_ = entries != nullptr;
  if (entries) std::ranges::move(*entries, std::back_inserter(tools));
  JsonObject result;
  result.insert("tools", std::move(tools));
  return result;
}

json::JsonValue McpServer::call_tool(json::JsonValue params) {
  std::string name(params.get_string("name").value_or(""));
  if (name == kLaunchToolName) return launch_brelvo();
  auto result = link_.exec_tool(name, take_arguments(params), tool_timeout_);
  if (!result) return failure_content(result.error());
  return relay_result(std::move(*result));
}

json::JsonValue McpServer::launch_brelvo() {
  if (auto launched = link_.launch(); !launched) return failure_content(launched.error());
  // Whatever the application answers is its version; a failed ping does not
  // undo a launch that succeeded.
  auto pong = link_.request("ping", nullptr, bridge::kPingTimeout);
  // The client has not seen the application's tools yet: have it list again.
  if (!tools_relayed_) send_message(tools_list_changed());
  JsonObject payload;
  payload.insert("app", pong ? std::move(*pong) : JsonValue());
  payload.insert("ok", true);
  return text_result(json::to_compact_text(payload), false);
}

}  // namespace brelvo::mcp
