// FakeLink: a scripted stand-in for the desktop application behind the
// ControlLink interface, for testing the handlers, the script runner and the
// MCP server without a process. It answers from its members and records every
// call in the form "request commands null 10", "exec find {\"k\":1} 180" or
// "launch".
#pragma once

#include <expected>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/control_link.h"
#include "json/json_value.h"

namespace brelvo::test_support {

using Answer = std::expected<json::JsonValue, bridge::BridgeError>;
using ExecAnswer = std::function<Answer(std::string_view tool, const json::JsonValue& args)>;

class FakeLink final : public bridge::ControlLink {
 public:
  Answer commands = std::unexpected(bridge::BridgeError::not_running("Brelvo is not running."));
  Answer ping = std::unexpected(bridge::BridgeError::not_running("Brelvo is not running."));
  std::expected<void, bridge::BridgeError> launched;
  ExecAnswer exec = [](std::string_view, const json::JsonValue&) -> Answer {
    return json::JsonObject{};
  };
  std::filesystem::path control = "/fake/Brelvo/control.json";
  std::vector<std::string> calls;

  Answer request(std::string_view method, json::JsonValue params, bridge::Seconds timeout) override;
  Answer exec_tool(std::string_view tool, json::JsonValue args, bridge::Seconds timeout) override;
  std::expected<void, bridge::BridgeError> launch() override;
  const std::filesystem::path& control_path() const override { return control; }
};

// An exec that gives the answers in turn, then empty objects.
ExecAnswer answers_in_turn(std::vector<Answer> answers);

}  // namespace brelvo::test_support
