#include "fake_link.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "fd_io.h"
#include "json/json_parse.h"
#include "json/json_text.h"
#include "mcp/mcp_server.h"

namespace brelvo::mcp::testing {

Answer FakeLink::request(std::string_view method, json::JsonValue params, bridge::Seconds timeout) {
  app_.calls.push_back("request " + std::string(method) + " " + json::to_compact_text(params) +
                       " " + std::to_string(timeout));
  if (method == "commands") return app_.commands;
  if (method == "ping") return app_.ping;
  return std::unexpected(bridge::BridgeError::coded("unknown_method", std::string(method)));
}

Answer FakeLink::exec_tool(std::string_view tool, json::JsonValue args, bridge::Seconds timeout) {
  app_.calls.push_back("exec " + std::string(tool) + " " + json::to_compact_text(args) + " " +
                       std::to_string(timeout));
  return app_.exec(tool, args);
}

std::expected<void, bridge::BridgeError> FakeLink::launch() {
  app_.calls.push_back("launch");
  return app_.launch;
}

std::string serve(std::string_view input, FakeApp& app, bridge::Seconds tool_timeout) {
  UniqueFd in = memory_file(input);
  UniqueFd out = memory_file("");
  run_mcp_server(std::make_unique<FakeLink>(app), tool_timeout, in.get(), out.get());
  return memory_file_text(out.get());
}

json::JsonValue parse(std::string_view text) {
  auto value = json::parse_json(text);
  if (!value) {
    std::fprintf(stderr, "bad test JSON: %s\n", value.error().message().c_str());
    std::abort();
  }
  return std::move(*value);
}

}  // namespace brelvo::mcp::testing
