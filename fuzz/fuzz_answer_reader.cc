// The line reader, as the connection uses it, fed from a socket pair in
// arbitrary pieces: the lines it gives, joined, are exactly the bytes sent.
// The second byte chooses a buffer small enough that lines longer than it,
// read straight into the line, are common.
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/line_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) std::abort();
  // The first byte chooses the piece size, so lines cross buffer refills; a
  // thread writes, since small pieces fill the socket long before the bytes do.
  const std::size_t piece = size > 0 ? 1 + data[0] * 64u : 1;
  std::thread writer([&] {
    for (std::size_t pos = 0; pos < size; pos += piece) {
      const std::size_t n = std::min(piece, size - pos);
      if (::send(fds[0], data + pos, n, MSG_NOSIGNAL) != static_cast<ssize_t>(n)) std::abort();
    }
    ::shutdown(fds[0], SHUT_WR);
  });
  const std::size_t buffer = size > 1 ? 1 + data[1] * 32u : 1;
  brelvo::platform::LineReader reader(fds[1], brelvo::platform::LineEnding::kKept, buffer);
  std::string joined;
  for (;;) {
    auto line = reader.read_line();
    if (!line) std::abort();
    if (!*line) break;
    const std::size_t feed = (*line)->find('\n');
    if ((*line)->empty() || (feed != std::string::npos && feed + 1 != (*line)->size()))
      std::abort();
    joined += **line;
  }
  writer.join();
  ::close(fds[0]);
  ::close(fds[1]);
  if (joined != std::string_view(reinterpret_cast<const char*>(data), size)) std::abort();
  return 0;
}
