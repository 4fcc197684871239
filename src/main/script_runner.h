// run <script.jsonl>: one tool call per line, in order, stopping at the first
// error. Blank lines and lines starting with "#" or "//" are skipped but
// counted, so messages name the lines an editor shows.
#pragma once

#include <cstdint>
#include <expected>
#include <string_view>

#include "bridge/control_link.h"
#include "json/json_value.h"

namespace brelvo::cli {

// Runs a whole script text (already checked to be UTF-8); gives the array of
// {line, result, tool} records or the error that stopped the run.
std::expected<json::JsonValue, bridge::BridgeError> run_script(bridge::ControlLink& link,
                                                               std::string_view script,
                                                               std::uint64_t tool_timeout);

}  // namespace brelvo::cli
