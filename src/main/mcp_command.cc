#include <memory>

#include "main/handlers.h"
#include "mcp/mcp_server.h"

namespace brelvo::cli {

// Hands the Bridge over to the MCP server for the rest of the run; the server
// reports its own problems to its client, so the command always succeeds.
CommandResult mcp_command(bridge::Bridge& bridge, std::uint64_t tool_timeout, Arguments&) {
  mcp::run_mcp_server(std::make_unique<bridge::Bridge>(std::move(bridge)), tool_timeout);
  return nullptr;
}

}  // namespace brelvo::cli
