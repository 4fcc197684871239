#include "bridge/test_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <stdexcept>

namespace brelvo::bridge::testing {

namespace {

// Bounds a send to a client that stopped reading, so a failing test ends.
constexpr timeval kSendLimit{.tv_sec = 5, .tv_usec = 0};

// Waits until fd or stop_fd is readable; true for fd.
bool wait_readable(int fd, int stop_fd) {
  std::array<pollfd, 2> fds{pollfd{.fd = fd, .events = POLLIN, .revents = 0},
                            pollfd{.fd = stop_fd, .events = POLLIN, .revents = 0}};
  while (::poll(fds.data(), fds.size(), -1) < 0) {
  }
  return fds[1].revents == 0;
}

UniqueFd bound_listener(std::uint16_t& port) {
  UniqueFd listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  auto* generic = reinterpret_cast<sockaddr*>(&address);
  if (::bind(listener.get(), generic, size) != 0 || ::listen(listener.get(), 4) != 0 ||
      ::getsockname(listener.get(), generic, &size) != 0) {
    throw std::runtime_error("cannot listen on 127.0.0.1");
  }
  port = ntohs(address.sin_port);
  return listener;
}

}  // namespace

std::optional<std::string> Peer::read_line() {
  for (;;) {
    if (const auto feed = pending_.find('\n'); feed != std::string::npos) {
      std::string line = pending_.substr(0, feed);
      pending_.erase(0, feed + 1);
      record_(line);
      return line;
    }
    if (!receive_more()) return std::nullopt;
  }
}

void Peer::send(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
}

void Peer::answer(std::string_view line) {
  if (read_line()) send(std::string(line) + "\n");
}

void Peer::wait_for_close() {
  while (receive_more()) pending_.clear();
}

bool Peer::receive_more() {
  if (!wait_readable(fd_, stop_fd_)) return false;
  std::array<char, 65536> chunk;
  const ssize_t count = ::recv(fd_, chunk.data(), chunk.size(), 0);
  if (count <= 0) return false;
  pending_.append(chunk.data(), static_cast<std::size_t>(count));
  return true;
}

TestServer::TestServer(std::vector<Handler> handlers) : listener_(bound_listener(port_)) {
  std::array<int, 2> stop_pipe{};
  if (::pipe2(stop_pipe.data(), O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  stop_read_ = UniqueFd(stop_pipe[0]);
  stop_write_ = UniqueFd(stop_pipe[1]);
  thread_ =
      std::thread([this, handlers = std::move(handlers)]() mutable { serve(std::move(handlers)); });
}

TestServer::~TestServer() {
  finish();
}

std::vector<std::string> TestServer::finish() {
  if (thread_.joinable()) {
    const char stop = 's';
    [[maybe_unused]] const ssize_t written = ::write(stop_write_.get(), &stop, 1);
    thread_.join();
  }
  const std::lock_guard lock(mutex_);
  return received_;
}

void TestServer::serve(std::vector<Handler> handlers) {
  for (std::size_t index = 0; index < handlers.size(); ++index) {
    const UniqueFd client = accept_next();
    if (!client.valid()) return;
    if (index + 1 == handlers.size()) listener_ = UniqueFd();
    ::setsockopt(client.get(), SOL_SOCKET, SO_SNDTIMEO, &kSendLimit, sizeof kSendLimit);
    Peer peer(client.get(), stop_read_.get(), [this](std::string line) {
      const std::lock_guard lock(mutex_);
      received_.push_back(std::move(line));
    });
    handlers[index](peer);
  }
  listener_ = UniqueFd();
}

UniqueFd TestServer::accept_next() {
  if (!wait_readable(listener_.get(), stop_read_.get())) return UniqueFd();
  return UniqueFd(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
}

std::uint16_t closed_port() {
  std::uint16_t port = 0;
  bound_listener(port);
  return port;
}

}  // namespace brelvo::bridge::testing
