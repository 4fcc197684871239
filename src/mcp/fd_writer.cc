#include "mcp/fd_writer.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace brelvo::mcp {

namespace {

// A non-blocking descriptor handed to us by the client must not lose the
// tail of a message whenever its pipe is momentarily full.
bool wait_writable(int fd) {
  pollfd entry{.fd = fd, .events = POLLOUT, .revents = 0};
  while (true) {
    int ready = poll(&entry, 1, -1);
    if (ready > 0) return (entry.revents & POLLOUT) != 0;
    if (ready < 0 && errno != EINTR) return false;
  }
}

}  // namespace

void write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(written));
      continue;
    }
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && wait_writable(fd)) continue;
    return;
  }
}

}  // namespace brelvo::mcp
