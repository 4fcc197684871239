// parse_tool_args: the argument object of a tool call from command-line words.
//
//   count=3 name=wall ids=[1,2]   -> {"count":3,"ids":[1,2],"name":"wall"}
//   k=01                          -> {"k":"01"}   (not JSON, so a string)
//   '{"a": 1}'                    -> {"a":1}      (one word starting with "{")
#pragma once

#include <expected>
#include <string>
#include <vector>

#include "bridge/bridge_error.h"
#include "json/json_value.h"

namespace brelvo::cli {

std::expected<json::JsonValue, bridge::BridgeError> parse_tool_args(
    const std::vector<std::string>& words);

}  // namespace brelvo::cli
