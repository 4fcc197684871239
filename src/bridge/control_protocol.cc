#include "bridge/control_protocol.h"

#include "json/json_parse.h"
#include "json/json_text.h"

namespace brelvo::bridge {

namespace {

std::string compact_line(const json::JsonValue& value) {
  std::string line;
  json::append_compact_text(line, value);
  line.push_back('\n');
  return line;
}

}  // namespace

std::string request_line(std::uint64_t id, std::string_view method, const json::JsonValue& params,
                         std::string_view token) {
  // Written member by member, in the key order of the compact form, so that
  // large parameters are not copied into a request object first.
  std::string line = "{\"id\":" + std::to_string(id) + ",\"method\":";
  json::append_quoted_string(line, method);
  line += ",\"params\":";
  json::append_compact_text(line, params);
  line += ",\"token\":";
  json::append_quoted_string(line, token);
  line += "}\n";
  return line;
}

json::JsonValue exec_params(std::string_view tool, json::JsonValue args, Seconds timeout) {
  constexpr Seconds kMillisPerSecond = 1000;
  json::JsonObject params;
  params.insert("args", std::move(args));
  params.insert("timeout_ms", timeout * kMillisPerSecond);
  params.insert("tool", tool);
  return params;
}

std::expected<json::JsonValue, BridgeError> answer_result(std::string line) {
  // Taken: a large result keeps the line's buffer rather than a copy of it.
  auto answer = json::parse_json_taking(std::move(line));
  if (!answer) return std::unexpected(BridgeError::io("bad response: " + answer.error().message()));
  if (const json::JsonValue* ok = answer->get("ok"); ok && ok->is_true()) {
    json::JsonValue* result = answer->get("result");
    return result ? std::move(*result) : json::JsonValue();
  }
  const json::JsonValue error = answer->remove("error").value_or(nullptr);
  return std::unexpected(
      BridgeError::coded(std::string(error.get_string("code").value_or("error")),
                         std::string(error.get_string("message").value_or("request failed"))));
}

bool is_unauthorized(const BridgeError& error) {
  return error.kind() == BridgeError::Kind::kCoded && error.code() == "unauthorized";
}

std::expected<Request, json::JsonParseError> read_request(std::string_view line) {
  auto request = json::parse_json(line);
  if (!request) return std::unexpected(std::move(request.error()));
  std::optional<json::JsonValue> params = request->remove("params");
  return Request{.method = std::string(request->get_string("method").value_or("")),
                 .params = params ? std::move(*params) : json::JsonValue(),
                 .token = std::string(request->get_string("token").value_or(""))};
}

ExecCall read_exec_params(json::JsonValue params) {
  std::optional<json::JsonValue> args = params.remove("args");
  return ExecCall{.tool = std::string(params.get_string("tool").value_or("")),
                  .args = args ? std::move(*args) : json::JsonObject{}};
}

std::string result_line(json::JsonValue result) {
  json::JsonObject answer;
  answer.insert("ok", true);
  answer.insert("result", std::move(result));
  return compact_line(answer);
}

std::string error_line(std::string code, std::string message) {
  json::JsonObject error;
  error.insert("code", std::move(code));
  error.insert("message", std::move(message));
  json::JsonObject answer;
  answer.insert("error", std::move(error));
  answer.insert("ok", false);
  return compact_line(answer);
}

}  // namespace brelvo::bridge
