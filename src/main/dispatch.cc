#include "main/dispatch.h"

#include <algorithm>

#include "bridge/bridge.h"
#include "bridge/control_path.h"
#include "json/utf8.h"
#include "version/version.h"

namespace brelvo::cli {

const std::string_view kUsageText =
    "brelvo-cli \u2014 drive a running Brelvo Desktop\n"
    "\n"
    "USAGE:\n"
    "  brelvo-cli [--control FILE] [--timeout SECS] <command> [args]\n"
    "\n"
    "COMMANDS:\n"
    "  status                        Is Brelvo running and ready?\n"
    "  commands [--names]            The tools Brelvo serves, with their JSON schemas\n"
    "  exec <tool> [key=value ...]   Run one tool; values are JSON when they parse, else strings\n"
    "  exec <tool> '<json object>'   Run one tool with a JSON argument object\n"
    "  run <script.jsonl>            Run {\"tool\": ..., \"args\": {...}} lines in order; stops at "
    "the first error\n"
    "  screenshot --out FILE.png     Save the current 3D view\n"
    "  open <path>... [--add]        Open models (starts Brelvo if needed)\n"
    "  launch                        Start Brelvo if it is not running and wait until it is ready\n"
    "  mcp                           Run as a stdio MCP server (for Claude Code / Claude Desktop / "
    "Cursor)\n"
    "\n"
    "Connection details come from the control file Brelvo writes on start\n"
    "(%LOCALAPPDATA%\\Brelvo\\control.json on Windows).\n"
    "\n"
    "EXIT CODES: 0 ok, 2 error, 3 Brelvo not running, 124 timeout\n";

namespace {

struct Command {
  std::string_view name;
  Handler handler;
};

// Every command word, in the order the usage text lists them.
constexpr Command kCommands[] = {
    {"status", status_command},
    {"commands", commands_command},
    {"exec", exec_command},
    {"run", run_command},
    {"screenshot", screenshot_command},
    {"open", open_command},
    {"launch", launch_command},
    {"mcp", mcp_command},
};

Outcome usage() {
  return Outcome{true, nullptr};
}
Outcome failure(bridge::BridgeError error) {
  return Outcome{false, std::unexpected(std::move(error))};
}

json::JsonValue version_object() {
  json::JsonObject version;
  version.insert("brelvo-cli", kVersion);
  version.insert("protocol", kControlProtocol);
  return version;
}

const Command* find_command(std::string_view word) {
  auto it = std::find_if(std::begin(kCommands), std::end(kCommands),
                         [word](const Command& command) { return command.name == word; });
  return it == std::end(kCommands) ? nullptr : it;
}

}  // namespace

Outcome dispatch(Arguments args) {
  if (args.empty()) return usage();
  const std::string& first = args.front();
  if (first == "-h" || first == "--help" || first == "help") return usage();
  if (first == "-V" || first == "--version") return Outcome{false, version_object()};
  // Every argument may end up in JSON sent to the application or printed.
  for (const std::string& arg : args) {
    if (!json::is_valid_utf8(arg)) {
      return failure(usage_error("argument is not valid UTF-8: " + json::to_utf8_lossy(arg)));
    }
  }
  std::optional<std::filesystem::path> control_path = take_option(args, "--control");
  if (!control_path) control_path = bridge::default_control_path();
  if (!control_path)
    return failure(usage_error("cannot find the user data directory; pass --control FILE"));
  const std::uint64_t tool_timeout = parse_timeout_seconds(take_option(args, "--timeout"));
  // Only options were given: as with an empty command line, show the usage.
  if (args.empty()) return usage();
  const std::string word = std::move(args.front());
  args.erase(args.begin());
  bridge::Bridge bridge(std::move(*control_path));
  const Command* command = find_command(word);
  if (command == nullptr) return failure(usage_error("unknown command: " + word + " (see --help)"));
  return Outcome{false, command->handler(bridge, tool_timeout, args)};
}

}  // namespace brelvo::cli
