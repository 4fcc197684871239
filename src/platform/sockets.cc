#include "platform/sockets.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <climits>

namespace brelvo::platform {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kFirstDuplicateFd = 3;
constexpr int kListenBacklog = 64;

sockaddr_in loopback_address(std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

std::expected<UniqueFd, int> stream_socket() {
  UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!socket.valid()) return std::unexpected(errno);
  return socket;
}

// Failing to set it costs only speed.
void send_without_delay(int socket) {
  const int one = 1;
  ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

// Waits until the pending connect finishes, restarting after signals: the
// connect's own error, ETIMEDOUT at the limit, or that of a failed wait.
std::expected<void, int> finish_connect(int fd, milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  pollfd wanted{.fd = fd, .events = POLLOUT, .revents = 0};
  for (;;) {
    const auto remaining = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
    if (remaining <= milliseconds::zero()) return std::unexpected(ETIMEDOUT);
    const auto wait_ms = std::clamp<milliseconds::rep>(remaining.count(), 1, INT_MAX);
    const int ready = ::poll(&wanted, 1, static_cast<int>(wait_ms));
    if (ready > 0) break;
    if (ready < 0 && errno != EINTR) return std::unexpected(errno);
  }
  int pending = 0;
  socklen_t size = sizeof pending;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &pending, &size) != 0) return std::unexpected(errno);
  if (pending != 0) return std::unexpected(pending);
  return {};
}

// Connects without blocking, so that the limit holds, then makes the socket
// blocking again.
std::expected<void, int> connect_within(int fd, std::uint16_t port, milliseconds limit) {
  const sockaddr_in address = loopback_address(port);
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) return std::unexpected(errno);
  const int started = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  const int start_errno = errno;
  if (::fcntl(fd, F_SETFL, flags) < 0) return std::unexpected(errno);
  if (started == 0) return {};
  if (start_errno != EINPROGRESS && start_errno != EINTR) return std::unexpected(start_errno);
  return finish_connect(fd, limit);
}

}  // namespace

std::expected<UniqueFd, int> connect_loopback(std::uint16_t port, milliseconds limit) {
  auto socket = stream_socket();
  if (!socket) return socket;
  if (auto connected = connect_within(socket->get(), port, limit); !connected) {
    return std::unexpected(connected.error());
  }
  send_without_delay(socket->get());
  return socket;
}

std::expected<UniqueFd, int> duplicate(int fd) {
  UniqueFd copy(::fcntl(fd, F_DUPFD_CLOEXEC, kFirstDuplicateFd));
  if (!copy.valid()) return std::unexpected(errno);
  return copy;
}

std::expected<UniqueFd, int> listen_loopback(std::uint16_t port) {
  auto socket = stream_socket();
  if (!socket) return socket;
  const int one = 1;
  ::setsockopt(socket->get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  const sockaddr_in address = loopback_address(port);
  if (::bind(socket->get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(socket->get(), kListenBacklog) != 0) {
    return std::unexpected(errno);
  }
  return socket;
}

std::expected<std::uint16_t, int> local_port(int socket) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return std::unexpected(errno);
  }
  return ntohs(address.sin_port);
}

std::expected<UniqueFd, int> accept_connection(int listener) {
  for (;;) {
    UniqueFd connection(::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC));
    if (connection.valid()) {
      send_without_delay(connection.get());
      return connection;
    }
    if (errno != EINTR && errno != ECONNABORTED) return std::unexpected(errno);
  }
}

}  // namespace brelvo::platform
