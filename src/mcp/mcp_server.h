// McpServer: the MCP server behind the "mcp" command. It reads JSON-RPC 2.0
// messages, one per line, answers each in order with one compact line, and
// relays tool calls to the desktop application over the control link.
//
//   run_mcp_server(bridge, 180);   // stdin -> stdout, requests over the bridge
//
//   in:  {"jsonrpc":"2.0","id":1,"method":"ping"}
//   out: {"id":1,"jsonrpc":"2.0","result":{}}
//
// The output descriptor carries protocol lines and nothing else.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "bridge/control_link.h"
#include "json/json_value.h"

namespace brelvo::mcp {

inline constexpr std::int64_t kParseError = -32700;
inline constexpr std::int64_t kMethodNotFound = -32601;

class McpServer {
 public:
  // The link is borrowed for the server's lifetime.
  McpServer(bridge::ControlLink& link, bridge::Seconds tool_timeout, int output_fd);

  // Serves the input's lines until it ends, a read fails or a line is not
  // valid UTF-8.
  void run(int input_fd);
  // Answers one parsed message; messages without an "id" get no answer.
  void handle_message(json::JsonValue message);

  // True when the latest tools/list got the application's catalogue.
  bool tools_relayed() const { return tools_relayed_; }

 private:
  void handle_line(std::string_view line);
  // Nothing when the method is not ours.
  std::optional<json::JsonValue> dispatch(std::string_view method, json::JsonValue params);

  void send_message(const json::JsonValue& message);
  void send_result(json::JsonValue id, json::JsonValue result);
  void send_error(json::JsonValue id, std::int64_t code, std::string message);

  // Tools (mcp_tools.cc).
  json::JsonValue list_tools();
  json::JsonValue call_tool(json::JsonValue params);
  json::JsonValue launch_brelvo();

  bridge::ControlLink& link_;
  bridge::Seconds tool_timeout_;
  int output_fd_;
  bool tools_relayed_ = false;
};

// The "mcp" command: serves until the input ends. Never fails; every problem
// is reported to the client on the output.
void run_mcp_server(bridge::ControlLink& link, bridge::Seconds tool_timeout, int input_fd = 0,
                    int output_fd = 1);

}  // namespace brelvo::mcp
