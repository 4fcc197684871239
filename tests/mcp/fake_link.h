// A scripted stand-in for the desktop application, and a way to run a whole
// MCP session over memory files.
#pragma once

#include <expected>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/control_link.h"
#include "json/json_value.h"

namespace brelvo::mcp::testing {

using Answer = std::expected<json::JsonValue, bridge::BridgeError>;

// What the fake application answers, and the calls it received in the form
// "request commands null 10", "exec find {\"k\":1} 180" or "launch".
struct FakeApp {
  Answer commands = std::unexpected(bridge::BridgeError::not_running("Brelvo is not running."));
  Answer ping = std::unexpected(bridge::BridgeError::not_running("Brelvo is not running."));
  std::expected<void, bridge::BridgeError> launch;
  std::function<Answer(std::string_view tool, const json::JsonValue& args)> exec =
      [](std::string_view, const json::JsonValue&) -> Answer { return json::JsonObject{}; };
  std::vector<std::string> calls;
};

class FakeLink final : public bridge::ControlLink {
 public:
  explicit FakeLink(FakeApp& app) : app_(app) {}

  Answer request(std::string_view method, json::JsonValue params, bridge::Seconds timeout) override;
  Answer exec_tool(std::string_view tool, json::JsonValue args, bridge::Seconds timeout) override;
  std::expected<void, bridge::BridgeError> launch() override;

 private:
  FakeApp& app_;
};

// Runs a server over the input and returns everything it wrote.
std::string serve(std::string_view input, FakeApp& app, bridge::Seconds tool_timeout = 180);

// The one-line JSON value, parsed; aborts the test run on bad test data.
json::JsonValue parse(std::string_view text);

}  // namespace brelvo::mcp::testing
