#include "platform/fd_io.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

namespace brelvo::platform {

namespace {

using Clock = std::chrono::steady_clock;

bool would_block(int errnum) {
  return errnum == EAGAIN || errnum == EWOULDBLOCK;
}

bool is_non_blocking(int fd) {
  const int flags = ::fcntl(fd, F_GETFL);
  return flags >= 0 && (flags & O_NONBLOCK) != 0;
}

// What poll may wait: the milliseconds left, rounded up so that a wait never
// ends just before the deadline; -1 without one.
int poll_wait(const Deadline& deadline) {
  if (!deadline) return -1;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
  return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, INT_MAX));
}

// Waits until the descriptor is ready for `events`, or reports why it
// cannot be waited on (ETIMEDOUT at the deadline); the call that follows
// tells what became of it.
std::expected<void, int> wait_for(int fd, short events, const Deadline& deadline = std::nullopt) {
  pollfd entry{.fd = fd, .events = events, .revents = 0};
  for (;;) {
    const int ready = ::poll(&entry, 1, poll_wait(deadline));
    if (ready > 0) return {};
    if (ready < 0 && errno != EINTR) return std::unexpected(errno);
    if (ready == 0 && deadline && Clock::now() >= *deadline) return std::unexpected(ETIMEDOUT);
  }
}

// Runs write_some(const char*, std::size_t) until every byte is taken.
template <typename WriteSome>
std::expected<void, int> write_through(int fd, std::string_view bytes, WriteSome write_some) {
  while (!bytes.empty()) {
    const ssize_t written = write_some(bytes.data(), bytes.size());
    if (written > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(written));
      continue;
    }
    // A device that takes nothing and reports nothing would be retried forever.
    if (written == 0) return std::unexpected(EIO);
    if (errno == EINTR) continue;
    if (!would_block(errno)) return std::unexpected(errno);
    if (auto waited = wait_for(fd, POLLOUT); !waited) return waited;
  }
  return {};
}

}  // namespace

std::expected<std::size_t, int> read_some(int fd, char* into, std::size_t size,
                                          const Deadline& deadline) {
  for (;;) {
    // Under a deadline every read waits first, so that none can block past it.
    if (deadline) {
      if (auto waited = wait_for(fd, POLLIN, deadline); !waited) {
        return std::unexpected(waited.error());
      }
    }
    const ssize_t count = ::read(fd, into, size);
    if (count >= 0) return static_cast<std::size_t>(count);
    if (errno == EINTR) continue;
    if (!would_block(errno)) return std::unexpected(errno);
    if (deadline) continue;
    if (!is_non_blocking(fd)) return std::unexpected(errno);
    if (auto waited = wait_for(fd, POLLIN); !waited) return std::unexpected(waited.error());
  }
}

std::expected<void, int> write_all(int fd, std::string_view bytes) {
  return write_through(
      fd, bytes, [fd](const char* data, std::size_t size) { return ::write(fd, data, size); });
}

std::expected<void, int> send_all(int socket, std::string_view bytes) {
  return write_through(socket, bytes, [socket](const char* data, std::size_t size) {
    return ::send(socket, data, size, MSG_NOSIGNAL);
  });
}

}  // namespace brelvo::platform
