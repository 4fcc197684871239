// In-memory descriptors for feeding the server and reading what it wrote.
#pragma once

#include <string>
#include <string_view>

#include "bridge/unique_fd.h"

namespace brelvo::mcp::testing {

using bridge::UniqueFd;

struct Pipe {
  UniqueFd read_end;
  UniqueFd write_end;
};

// A memory file holding the bytes, positioned at its start.
UniqueFd memory_file(std::string_view bytes);
// Everything in a memory file, whatever its position.
std::string memory_file_text(int fd);
Pipe make_pipe();
void set_non_blocking(int fd);
// Blocks until the write end of the pipe is closed.
std::string read_until_closed(int fd);

}  // namespace brelvo::mcp::testing
