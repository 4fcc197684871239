// The wire format of the control protocol: one compact JSON object per line
// in each direction. Both sides are here: the program's, and the
// application's, which the simulator serves through.
//
//   request_line(1, "ping", nullptr, "t")  -> {"id":1,"method":"ping","params":null,"token":"t"}\n
//   answer_result({"ok":true,"result":7}\n)            -> 7
//   answer_result({"ok":false,"error":{"code":"busy","message":"m"}}) -> coded("busy", "m")
//
//   read_request(that request line)  -> Request{method "ping", params null, token "t"}
//   result_line(7)                   -> {"ok":true,"result":7}\n
//   error_line("busy", "m")          -> {"error":{"code":"busy","message":"m"},"ok":false}\n
#pragma once

#include <cstdint>
#include <expected>
#include <string>
#include <string_view>

#include "bridge/bridge_error.h"
#include "bridge/control_link.h"
#include "json/json_error.h"
#include "json/json_value.h"

namespace brelvo::bridge {

// The request object's text followed by a line feed.
std::string request_line(std::uint64_t id, std::string_view method, const json::JsonValue& params,
                         std::string_view token);

// The "exec" parameters: {"args", "timeout_ms", "tool"}; the milliseconds
// wrap around modulo 2^64 like the application's unsigned counter.
json::JsonValue exec_params(std::string_view tool, json::JsonValue args, Seconds timeout);

// The result of a UTF-8 answer line: "ok" exactly true gives "result" (null
// when missing); anything else is a coded error. An unparsable line is io.
std::expected<json::JsonValue, BridgeError> answer_result(std::string line);

// An error answer telling that the token is stale.
bool is_unauthorized(const BridgeError& error);

// A request line as the application reads it; members that are missing or
// of another type read as empty strings and null.
struct Request {
  std::string method;
  json::JsonValue params;
  std::string token;
};
std::expected<Request, json::JsonParseError> read_request(std::string_view line);

// The tool ("" when missing) and the arguments ({} when missing) of "exec"
// parameters.
struct ExecCall {
  std::string tool;
  json::JsonValue args;
};
ExecCall read_exec_params(json::JsonValue params);

// The answer lines, each followed by a line feed: a result, or an error.
std::string result_line(json::JsonValue result);
std::string error_line(std::string code, std::string message);

}  // namespace brelvo::bridge
