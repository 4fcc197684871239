// Descriptors for tests: memory files to feed a reader and to read what a
// writer wrote, and pipes.
#pragma once

#include <string>
#include <string_view>

#include "platform/unique_fd.h"

namespace brelvo::test_support {

using platform::UniqueFd;

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

}  // namespace brelvo::test_support
