// open and launch: both make sure the application runs before they ask it
// anything.
#include "json/utf8.h"
#include "main/handlers.h"
#include "main/tool_results.h"
#include "platform/files.h"

namespace brelvo::cli {
namespace {

// The canonical absolute path when the system can resolve it, else the
// argument unchanged: a missing file is the application's to report.
std::string resolve_path(const std::string& argument) {
  const auto resolved = platform::canonical_path(argument);
  return resolved ? json::path_text_lossy(*resolved) : argument;
}

}  // namespace

CommandResult open_command(bridge::ControlLink& link, std::uint64_t tool_timeout, Arguments& args) {
  const bool add = take_flag(args, "--add");
  if (args.empty()) return std::unexpected(usage_error("open <path>... [--add]"));
  // Resolved before the application starts, against this command's directory.
  json::JsonArray paths;
  for (const std::string& argument : args) paths.emplace_back(resolve_path(argument));
  if (auto launched = link.launch(); !launched) return std::unexpected(std::move(launched.error()));
  json::JsonObject open_args;
  open_args.insert("add", add);
  open_args.insert("paths", std::move(paths));
  auto answer = link.exec_tool("open_file", std::move(open_args), tool_timeout);
  if (!answer) return std::unexpected(std::move(answer.error()));
  return check_tool_result(std::move(*answer));
}

CommandResult launch_command(bridge::ControlLink& link, std::uint64_t, Arguments&) {
  if (auto launched = link.launch(); !launched) return std::unexpected(std::move(launched.error()));
  return link.request("ping", nullptr, bridge::kPingTimeout);
}

}  // namespace brelvo::cli
