// The answer to "initialize": protocol version negotiation, server identity,
// capabilities and the instructions that clients show to their model.
//
//   initialize_result({"protocolVersion": "2024-11-05"})  -> ... "protocolVersion":"2024-11-05" ...
//   initialize_result({"protocolVersion": "2099-01-01"})  -> ... "protocolVersion":"2025-06-18" ...
#pragma once

#include <array>
#include <string_view>

#include "json/json_value.h"

namespace brelvo::mcp {

// Most preferred first.
inline constexpr std::array<std::string_view, 3> kProtocolVersions = {"2025-06-18", "2025-03-26",
                                                                      "2024-11-05"};

extern const std::string_view kInstructions;

// The client's "protocolVersion" when we speak it, else our newest.
std::string_view negotiate_protocol_version(const json::JsonValue& params);

json::JsonValue initialize_result(const json::JsonValue& params);

}  // namespace brelvo::mcp
