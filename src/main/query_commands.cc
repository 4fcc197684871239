// status, commands and exec: one request each, results passed through.
#include "json/utf8.h"
#include "main/handlers.h"
#include "main/tool_args.h"
#include "main/tool_results.h"

namespace brelvo::cli {
namespace {

// The `name` of every catalogue entry that has one, in catalogue order.
json::JsonValue tool_names(const json::JsonValue& catalogue) {
  json::JsonArray names;
  if (const json::JsonArray* entries = catalogue.as_array()) {
    for (const json::JsonValue& entry : *entries) {
      if (const json::JsonValue* name = entry.get("name")) names.push_back(*name);
    }
  }
  return names;
}

}  // namespace

CommandResult status_command(bridge::ControlLink& link, std::uint64_t, Arguments&) {
  auto answer = link.request("ping", nullptr, bridge::kPingTimeout);
  if (!answer) return std::unexpected(std::move(answer.error()));
  json::JsonObject status;
  status.insert("app", std::move(*answer));
  status.insert("control", json::path_text_lossy(link.control_path()));
  status.insert("running", true);
  return status;
}

CommandResult commands_command(bridge::ControlLink& link, std::uint64_t, Arguments& args) {
  const bool names_only = take_flag(args, "--names");
  auto catalogue = link.request("commands", nullptr, bridge::kCommandsTimeout);
  if (!catalogue || !names_only) return catalogue;
  return tool_names(*catalogue);
}

CommandResult exec_command(bridge::ControlLink& link, std::uint64_t tool_timeout, Arguments& args) {
  if (args.empty()) return std::unexpected(usage_error("exec <tool> [key=value ...]"));
  const std::string tool = std::move(args.front());
  args.erase(args.begin());
  auto tool_args = parse_tool_args(args);
  if (!tool_args) return std::unexpected(std::move(tool_args.error()));
  auto answer = link.exec_tool(tool, std::move(*tool_args), tool_timeout);
  if (!answer) return std::unexpected(std::move(answer.error()));
  return check_tool_result(std::move(*answer));
}

}  // namespace brelvo::cli
