// The wire format of the control protocol: one compact JSON object per line
// in each direction.
//
//   request_line(1, "ping", nullptr, "t")  -> {"id":1,"method":"ping","params":null,"token":"t"}\n
//   answer_result({"ok":true,"result":7}\n)            -> 7
//   answer_result({"ok":false,"error":{"code":"busy","message":"m"}}) -> coded("busy", "m")
#pragma once

#include <cstdint>
#include <expected>
#include <string>
#include <string_view>

#include "bridge/bridge_error.h"
#include "bridge/control_link.h"
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
std::expected<json::JsonValue, BridgeError> answer_result(std::string_view line);

// An error answer telling that the token is stale.
bool is_unauthorized(const BridgeError& error);

}  // namespace brelvo::bridge
