// The MCP server on any input, over in-memory files and a fake control link:
// every output line is one JSON-RPC message, and there is never more than
// one answer per input line (plus the tool-list notification).
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "json/json_parse.h"
#include "mcp/mcp_server.h"
#include "support/fake_link.h"

namespace {

// A running application with a one-entry catalogue that echoes every tool's
// arguments, except that a tool without a name finds it gone.
brelvo::test_support::FakeLink echo_link() {
  brelvo::test_support::FakeLink link;
  link.commands = brelvo::json::JsonArray{nullptr};
  link.ping = nullptr;
  link.exec = [](std::string_view tool,
                 const brelvo::json::JsonValue& args) -> brelvo::test_support::Answer {
    if (tool.empty()) return std::unexpected(brelvo::bridge::BridgeError::not_running("down"));
    return args;
  };
  return link;
}

std::string read_all(int fd) {
  std::string out;
  ::lseek(fd, 0, SEEK_SET);
  char buffer[65536];
  for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
    out.append(buffer, static_cast<std::size_t>(n));
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const int in = ::memfd_create("in", MFD_CLOEXEC);
  const int out = ::memfd_create("out", MFD_CLOEXEC);
  if (in < 0 || out < 0 || ::write(in, data, size) != static_cast<ssize_t>(size)) std::abort();
  ::lseek(in, 0, SEEK_SET);
  brelvo::test_support::FakeLink link = echo_link();
  brelvo::mcp::run_mcp_server(link, 180, in, out);
  const std::string output = read_all(out);
  ::close(in);
  ::close(out);
  if (!output.empty() && output.back() != '\n') std::abort();
  const std::size_t input_lines = static_cast<std::size_t>(std::count(data, data + size, '\n')) + 1;
  std::size_t answers = 0;
  for (std::size_t start = 0, end; (end = output.find('\n', start)) != std::string::npos;
       start = end + 1) {
    auto message = brelvo::json::parse_json(std::string_view(output).substr(start, end - start));
    if (!message || !message->is_object() || message->get("jsonrpc") == nullptr) std::abort();
    if (message->get("id") != nullptr) ++answers;
  }
  if (answers > input_lines) std::abort();
  return 0;
}
