#include "mcp/initialize.h"

#include <algorithm>
#include <string>

#include "version/version.h"

namespace brelvo::mcp {

using json::JsonObject;
using json::JsonValue;

const std::string_view kInstructions =
    "Brelvo is a desktop BIM / IFC viewer running on the user's computer; these tools drive the "
    "live app the user is looking at.\n"
    "- Start with list_models / get_model_summary to see what is open. If nothing is open, "
    "open_file takes a path on this computer. If Brelvo is not running, call launch_brelvo.\n"
    "- Find elements with find_elements / filter_elements; act on them with hide_elements, "
    "isolate_elements, select_elements, color_elements, xray_elements, set_section. Element ids "
    "are global ids from those results.\n"
    "- Look at the result with screenshot: it returns an image of the current 3D view.\n"
    "- Edits to the model (set_property, set_attribute, retype_element, delete_element) are "
    "undoable with undo_edit; tell the user what you changed.\n"
    "- Results are capped to stay small; ask narrower questions rather than requesting "
    "everything.";

namespace {

JsonValue capabilities() {
  JsonObject tools;
  tools.insert("listChanged", true);
  JsonObject capabilities;
  capabilities.insert("tools", std::move(tools));
  return capabilities;
}

JsonValue server_info() {
  JsonObject info;
  info.insert("name", "brelvo");
  info.insert("title", "Brelvo Desktop");
  info.insert("version", kVersion);
  return info;
}

}  // namespace

std::string_view negotiate_protocol_version(const json::JsonValue& params) {
  const std::optional<std::string_view> requested = params.get_string("protocolVersion");
  if (!requested) return kProtocolVersions.front();
  auto supported = std::ranges::find(kProtocolVersions, *requested);
  return supported != kProtocolVersions.end() ? *supported : kProtocolVersions.front();
}

json::JsonValue initialize_result(const json::JsonValue& params) {
  JsonObject result;
  result.insert("capabilities", capabilities());
  result.insert("instructions", kInstructions);
  result.insert("protocolVersion", negotiate_protocol_version(params));
  result.insert("serverInfo", server_info());
  return result;
}

}  // namespace brelvo::mcp
