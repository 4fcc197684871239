#include "main/script_runner.h"

#include <algorithm>

#include "json/json_parse.h"
#include "json/json_text.h"
#include "json/utf8.h"
#include "main/handlers.h"
#include "main/tool_results.h"
#include "platform/files.h"
#include "platform/line_reader.h"

namespace brelvo::cli {
namespace {

struct ScriptCall {
  std::string tool;
  json::JsonValue args;
};

bool is_skipped(std::string_view trimmed) {
  return trimmed.empty() || trimmed.starts_with('#') || trimmed.starts_with("//");
}

std::string line_prefix(std::uint64_t line) {
  return "line " + std::to_string(line) + ": ";
}

// The tool name (`tool`, else `id`) and arguments (`args`, else `params`,
// else {}) of one script line.
std::expected<ScriptCall, bridge::BridgeError> parse_call(std::string_view text,
                                                          std::uint64_t line) {
  auto value = json::parse_json(text);
  if (!value) return std::unexpected(usage_error(line_prefix(line) + value.error().message()));
  json::JsonValue* tool = value->get("tool");
  if (tool == nullptr) tool = value->get("id");
  if (tool == nullptr || !tool->is_string())
    return std::unexpected(usage_error(line_prefix(line) + "needs \"tool\""));
  json::JsonValue* args = value->get("args");
  if (args == nullptr) args = value->get("params");
  return ScriptCall{std::string(*tool->as_string()), args ? std::move(*args) : json::JsonObject{}};
}

json::JsonValue make_record(std::uint64_t line, std::string tool, json::JsonValue answer) {
  json::JsonObject record;
  record.insert("line", line);
  record.insert("result", strip_images(std::move(answer)));
  record.insert("tool", std::move(tool));
  return record;
}

}  // namespace

std::expected<std::vector<std::string>, bridge::BridgeError> read_script(const std::string& path) {
  auto file = platform::open_for_reading(path);
  if (!file) return std::unexpected(bridge::BridgeError::from_errno(file.error(), path));
  // A CR before the LF belongs to the line ending, and a final LF does not
  // start another line.
  platform::LineReader reader(file->get(), platform::LineEnding::kTrimmed);
  std::vector<std::string> lines;
  for (;;) {
    auto line = reader.read_line();
    if (!line) return std::unexpected(bridge::BridgeError::from_errno(line.error(), path));
    if (!*line) break;
    lines.push_back(std::move(**line));
  }
  // Checked before anything runs; no line ending splits a UTF-8 sequence.
  if (!std::ranges::all_of(lines,
                           [](const std::string& line) { return json::is_valid_utf8(line); })) {
    return std::unexpected(bridge::BridgeError::io(path + ": stream did not contain valid UTF-8"));
  }
  return lines;
}

std::expected<json::JsonValue, bridge::BridgeError> run_script(bridge::ControlLink& link,
                                                               std::span<const std::string> lines,
                                                               std::uint64_t tool_timeout) {
  json::JsonArray records;
  for (std::uint64_t line = 1; line <= lines.size(); ++line) {
    const std::string_view trimmed = json::trim_unicode_space(lines[line - 1]);
    if (is_skipped(trimmed)) continue;
    auto call = parse_call(trimmed, line);
    if (!call) return std::unexpected(std::move(call.error()));
    auto answer = link.exec_tool(call->tool, std::move(call->args), tool_timeout);
    if (!answer) return std::unexpected(std::move(answer.error()));
    const bool failed = has_error_member(*answer);
    records.push_back(make_record(line, std::move(call->tool), std::move(*answer)));
    if (failed)
      return std::unexpected(
          bridge::BridgeError::coded("tool_failed", json::to_compact_text(records)));
  }
  return records;
}

CommandResult run_command(bridge::ControlLink& link, std::uint64_t tool_timeout, Arguments& args) {
  if (args.empty()) return std::unexpected(usage_error("run <script.jsonl>"));
  auto lines = read_script(args.front());
  if (!lines) return std::unexpected(std::move(lines.error()));
  return run_script(link, *lines, tool_timeout);
}

}  // namespace brelvo::cli
