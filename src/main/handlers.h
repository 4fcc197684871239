// The command handlers. Each takes the control link, the tool time-out in
// whole seconds and the words after the command word, and returns a result to
// print or the error to report; none of them prints anything itself.
#pragma once

#include <cstdint>
#include <expected>

#include "bridge/control_link.h"
#include "json/json_value.h"
#include "main/arguments.h"

namespace brelvo::cli {

using CommandResult = std::expected<json::JsonValue, bridge::BridgeError>;
using Handler = CommandResult (*)(bridge::ControlLink& link, std::uint64_t tool_timeout,
                                  Arguments& args);

CommandResult status_command(bridge::ControlLink& link, std::uint64_t tool_timeout,
                             Arguments& args);
CommandResult commands_command(bridge::ControlLink& link, std::uint64_t tool_timeout,
                               Arguments& args);
CommandResult exec_command(bridge::ControlLink& link, std::uint64_t tool_timeout, Arguments& args);
CommandResult run_command(bridge::ControlLink& link, std::uint64_t tool_timeout, Arguments& args);
CommandResult screenshot_command(bridge::ControlLink& link, std::uint64_t tool_timeout,
                                 Arguments& args);
CommandResult open_command(bridge::ControlLink& link, std::uint64_t tool_timeout, Arguments& args);
CommandResult launch_command(bridge::ControlLink& link, std::uint64_t tool_timeout,
                             Arguments& args);
CommandResult mcp_command(bridge::ControlLink& link, std::uint64_t tool_timeout, Arguments& args);

inline bridge::BridgeError usage_error(std::string message) {
  return bridge::BridgeError::coded("usage", std::move(message));
}

}  // namespace brelvo::cli
