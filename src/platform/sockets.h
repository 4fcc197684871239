// TCP sockets on the loopback interface: the client's connection to the
// control port, and the listening side the simulator serves it on. Every
// socket is close-on-exec and sends without delay (TCP_NODELAY).
//
//   auto socket = connect_loopback(51234, 3000ms);   // or ECONNREFUSED, ETIMEDOUT, ...
//   auto writer = duplicate(socket->get());
#pragma once

#include <chrono>
#include <cstdint>
#include <expected>

#include "platform/unique_fd.h"

namespace brelvo::platform {

// A socket connected to 127.0.0.1:port within the limit (ETIMEDOUT beyond
// it), restarting after signals.
std::expected<UniqueFd, int> connect_loopback(std::uint16_t port, std::chrono::milliseconds limit);

// A second close-on-exec descriptor on the same socket, numbered 3 or
// higher so that it never stands in for a standard stream.
std::expected<UniqueFd, int> duplicate(int fd);

// A socket listening on 127.0.0.1:port (0 for any free port), with
// SO_REUSEADDR so that a restarted server can take its port again.
std::expected<UniqueFd, int> listen_loopback(std::uint16_t port);

// The port a socket is bound to.
std::expected<std::uint16_t, int> local_port(int socket);

// The next connection, restarting after signals and aborted connections.
std::expected<UniqueFd, int> accept_connection(int listener);

}  // namespace brelvo::platform
