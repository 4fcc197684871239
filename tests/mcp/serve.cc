#include "serve.h"

#include <cstdio>
#include <cstdlib>

#include "json/json_parse.h"
#include "mcp/mcp_server.h"
#include "support/fd_io.h"

namespace brelvo::mcp::testing {

std::string serve(std::string_view input, FakeLink& link, bridge::Seconds tool_timeout) {
  test_support::UniqueFd in = test_support::memory_file(input);
  test_support::UniqueFd out = test_support::memory_file("");
  run_mcp_server(link, tool_timeout, in.get(), out.get());
  return test_support::memory_file_text(out.get());
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
