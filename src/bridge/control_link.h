// ControlLink: what the command handlers and the MCP server need of the
// desktop application. Bridge is the real one; tests substitute fakes.
#pragma once

#include <cstdint>
#include <expected>
#include <filesystem>
#include <string>
#include <string_view>

#include "bridge/bridge_error.h"
#include "json/json_value.h"

namespace brelvo::bridge {

// Request time-outs are whole seconds; the tool time-out spans all of 64 bits.
using Seconds = std::uint64_t;

class ControlLink {
 public:
  virtual ~ControlLink() = default;

  // One request by method name; the answer's result or an error.
  virtual std::expected<json::JsonValue, BridgeError> request(std::string_view method,
                                                              json::JsonValue params,
                                                              Seconds timeout) = 0;
  // The "exec" request: {"args", "timeout_ms", "tool"}.
  virtual std::expected<json::JsonValue, BridgeError> exec_tool(std::string_view tool,
                                                                json::JsonValue args,
                                                                Seconds timeout) = 0;
  // Starts the application unless it is running, then waits until it is ready.
  virtual std::expected<void, BridgeError> launch() = 0;
  // Where the link finds the application's control file.
  virtual const std::filesystem::path& control_path() const = 0;
};

// Fixed time-outs of the control protocol.
inline constexpr Seconds kPingTimeout = 5;
inline constexpr Seconds kCommandsTimeout = 10;

}  // namespace brelvo::bridge
