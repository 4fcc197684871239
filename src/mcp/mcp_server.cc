#include "mcp/mcp_server.h"

#include <utility>

#include "json/json_parse.h"
#include "json/json_text.h"
#include "json/utf8.h"
#include "mcp/initialize.h"
#include "platform/fd_io.h"
#include "platform/line_reader.h"

namespace brelvo::mcp {

using json::JsonArray;
using json::JsonObject;
using json::JsonValue;

namespace {

JsonValue empty_list_result(std::string key) {
  JsonObject result;
  result.insert(std::move(key), JsonArray{});
  return result;
}

}  // namespace

McpServer::McpServer(bridge::ControlLink& link, bridge::Seconds tool_timeout, int output_fd)
    : link_(link), tool_timeout_(tool_timeout), output_fd_(output_fd) {}

void McpServer::run(int input_fd) {
  // The client's line endings may be LF or CRLF.
  platform::LineReader reader(input_fd, platform::LineEnding::kTrimmed);
  while (true) {
    const auto line = reader.read_line();
    if (!line || !*line || !json::is_valid_utf8(**line)) return;
    handle_line(**line);
  }
}

void McpServer::handle_line(std::string_view line) {
  if (json::trim_unicode_space(line).empty()) return;
  auto message = json::parse_json(line);
  if (!message) {
    send_error(nullptr, kParseError, "parse error");
    return;
  }
  handle_message(std::move(*message));
}

void McpServer::handle_message(json::JsonValue message) {
  // Notifications, and anything that is not an object, get no answer.
  std::optional<JsonValue> id = message.remove("id");
  if (!id) return;
  std::string method(message.get_string("method").value_or(""));
  JsonValue params = message.remove("params").value_or(nullptr);
  std::optional<JsonValue> result = dispatch(method, std::move(params));
  if (result) {
    send_result(std::move(*id), std::move(*result));
  } else {
    send_error(std::move(*id), kMethodNotFound, "method not found: " + method);
  }
}

std::optional<json::JsonValue> McpServer::dispatch(std::string_view method,
                                                   json::JsonValue params) {
  if (method == "initialize") return initialize_result(params);
  if (method == "ping") return JsonObject{};
  if (method == "tools/list") return list_tools();
  if (method == "tools/call") return call_tool(std::move(params));
  if (method == "resources/list") return empty_list_result("resources");
  if (method == "prompts/list") return empty_list_result("prompts");
  return std::nullopt;
}

void McpServer::send_message(const json::JsonValue& message) {
  std::string line;
  json::append_compact_text(line, message);
  line.push_back('\n');
  // A client that has gone cannot be told anything: the rest is dropped.
  (void)platform::write_all(output_fd_, line);
}

void McpServer::send_result(json::JsonValue id, json::JsonValue result) {
  JsonObject answer;
  answer.insert("id", std::move(id));
  answer.insert("jsonrpc", "2.0");
  answer.insert("result", std::move(result));
  send_message(answer);
}

void McpServer::send_error(json::JsonValue id, std::int64_t code, std::string message) {
  JsonObject error;
  error.insert("code", code);
  error.insert("message", std::move(message));
  JsonObject answer;
  answer.insert("error", std::move(error));
  answer.insert("id", std::move(id));
  answer.insert("jsonrpc", "2.0");
  send_message(answer);
}

void run_mcp_server(bridge::ControlLink& link, bridge::Seconds tool_timeout, int input_fd,
                    int output_fd) {
  McpServer server(link, tool_timeout, output_fd);
  server.run(input_fd);
}

}  // namespace brelvo::mcp
