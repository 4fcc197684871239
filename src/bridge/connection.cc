#include "bridge/connection.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <algorithm>
#include <climits>
#include <limits>

#include "bridge/byte_io.h"

namespace brelvo::bridge {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kFirstWriterFd = 3;

// Waits until the pending connect finishes, restarting after signals, and
// gives whether it succeeded.
bool finish_connect(int fd, milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  pollfd wanted{.fd = fd, .events = POLLOUT, .revents = 0};
  for (;;) {
    const auto remaining = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
    if (remaining <= milliseconds::zero()) return false;
    const auto wait_ms = std::clamp<milliseconds::rep>(remaining.count(), 1, INT_MAX);
    const int ready = ::poll(&wanted, 1, static_cast<int>(wait_ms));
    if (ready > 0) break;
    if (ready < 0 && errno != EINTR) return false;
  }
  int pending = 0;
  socklen_t size = sizeof pending;
  return ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &pending, &size) == 0 && pending == 0;
}

bool connect_loopback(int fd, std::uint16_t port, milliseconds limit) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) return false;
  const int started = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  const int start_errno = errno;
  if (::fcntl(fd, F_SETFL, flags) < 0) return false;
  if (started == 0) return true;
  if (start_errno != EINPROGRESS && start_errno != EINTR) return false;
  return finish_connect(fd, limit);
}

timeval receive_limit(Seconds request_timeout, milliseconds grace) {
  constexpr auto kMaxSeconds = std::numeric_limits<time_t>::max();
  const auto grace_seconds = static_cast<std::uint64_t>(grace.count() / 1000);
  const auto grace_micros = static_cast<suseconds_t>(grace.count() % 1000 * 1000);
  // The kernel treats a limit beyond its range as no limit.
  if (request_timeout > static_cast<std::uint64_t>(kMaxSeconds) - grace_seconds) {
    return {.tv_sec = kMaxSeconds, .tv_usec = 0};
  }
  return {.tv_sec = static_cast<time_t>(request_timeout + grace_seconds), .tv_usec = grace_micros};
}

}  // namespace

std::expected<std::unique_ptr<Connection>, BridgeError> Connection::open(
    std::uint16_t port, std::string token, milliseconds connect_limit) {
  UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!socket.valid() || !connect_loopback(socket.get(), port, connect_limit)) {
    return std::unexpected(
        BridgeError::not_running("Brelvo is not running (its control port is closed)"));
  }
  const int no_delay = 1;
  ::setsockopt(socket.get(), IPPROTO_TCP, TCP_NODELAY, &no_delay, sizeof no_delay);
  UniqueFd writer(::fcntl(socket.get(), F_DUPFD_CLOEXEC, kFirstWriterFd));
  if (!writer.valid()) return std::unexpected(BridgeError::from_errno(errno));
  return std::unique_ptr<Connection>(
      new Connection(std::move(socket), std::move(writer), std::move(token)));
}

std::expected<void, int> Connection::send_all(std::string_view bytes) {
  while (!bytes.empty()) {
    const auto sent = retry_interrupted(
        [&] { return ::send(writer_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL); });
    if (!sent) return std::unexpected(sent.error());
    bytes.remove_prefix(*sent);
  }
  return {};
}

void Connection::set_receive_limit(Seconds request_timeout, milliseconds grace) {
  const timeval limit = receive_limit(request_timeout, grace);
  // A script or an MCP session makes thousands of requests with one limit:
  // one system call per change, not per request.
  if (limit_set_ && limit.tv_sec == limit_.tv_sec && limit.tv_usec == limit_.tv_usec) return;
  if (::setsockopt(socket_.get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) != 0) return;
  limit_ = limit;
  limit_set_ = true;
}

}  // namespace brelvo::bridge
