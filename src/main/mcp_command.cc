#include "main/handlers.h"
#include "mcp/mcp_server.h"

namespace brelvo::cli {

// Serves the MCP session over the link for the rest of the run; the server
// reports its own problems to its client, so the command always succeeds.
CommandResult mcp_command(bridge::ControlLink& link, std::uint64_t tool_timeout, Arguments&) {
  mcp::run_mcp_server(link, tool_timeout);
  return nullptr;
}

}  // namespace brelvo::cli
