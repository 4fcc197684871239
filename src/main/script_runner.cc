#include "main/script_runner.h"

#include "bridge/file_io.h"
#include "json/json_parse.h"
#include "json/json_text.h"
#include "json/utf8.h"
#include "main/handlers.h"
#include "main/tool_results.h"

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

// Splits at line feeds; a CR before the LF belongs to the line ending, and a
// final LF does not start another line.
class LineCursor {
 public:
  explicit LineCursor(std::string_view text) : rest_(text) {}
  bool next(std::string_view& line) {
    if (rest_.empty()) return false;
    const std::size_t end = rest_.find('\n');
    line = rest_.substr(0, end);
    rest_ = end == std::string_view::npos ? std::string_view() : rest_.substr(end + 1);
    if (end != std::string_view::npos && line.ends_with('\r')) line.remove_suffix(1);
    return true;
  }

 private:
  std::string_view rest_;
};

}  // namespace

std::expected<json::JsonValue, bridge::BridgeError> run_script(bridge::ControlLink& link,
                                                               std::string_view script,
                                                               std::uint64_t tool_timeout) {
  json::JsonArray records;
  LineCursor cursor(script);
  std::string_view raw_line;
  for (std::uint64_t line = 1; cursor.next(raw_line); ++line) {
    const std::string_view trimmed = json::trim_unicode_space(raw_line);
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
  const std::string& path = args.front();
  auto script = bridge::read_whole_file(path);
  if (!script)
    return std::unexpected(
        bridge::BridgeError::io(path + ": " + bridge::system_error_text(script.error())));
  if (!json::is_valid_utf8(*script)) {
    return std::unexpected(bridge::BridgeError::io(path + ": stream did not contain valid UTF-8"));
  }
  return run_script(link, *script, tool_timeout);
}

}  // namespace brelvo::cli
