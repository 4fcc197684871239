// run <script.jsonl>: one tool call per line, in order, stopping at the first
// error. Blank lines and lines starting with "#" or "//" are skipped but
// counted, so messages name the lines an editor shows.
#pragma once

#include <cstdint>
#include <expected>
#include <span>
#include <string>
#include <vector>

#include "bridge/control_link.h"
#include "json/json_value.h"

namespace brelvo::cli {

// The lines of a script file without their line endings, every one checked
// to be UTF-8 before anything runs. A file that cannot be read gives an io
// error naming the path.
std::expected<std::vector<std::string>, bridge::BridgeError> read_script(const std::string& path);

// Runs the lines of a script in order; gives the array of {line, result,
// tool} records or the error that stopped the run.
std::expected<json::JsonValue, bridge::BridgeError> run_script(bridge::ControlLink& link,
                                                               std::span<const std::string> lines,
                                                               std::uint64_t tool_timeout);

}  // namespace brelvo::cli
