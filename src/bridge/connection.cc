#include "bridge/connection.h"

#include "platform/fd_io.h"
#include "platform/sockets.h"

namespace brelvo::bridge {

std::expected<std::unique_ptr<Connection>, BridgeError> Connection::open(
    std::uint16_t port, std::string token, std::chrono::milliseconds connect_limit) {
  auto socket = platform::connect_loopback(port, connect_limit);
  if (!socket) {
    return std::unexpected(
        BridgeError::not_running("Brelvo is not running (its control port is closed)"));
  }
  auto writer = platform::duplicate(socket->get());
  if (!writer) return std::unexpected(BridgeError::from_errno(writer.error()));
  return std::unique_ptr<Connection>(
      new Connection(std::move(*socket), std::move(*writer), std::move(token)));
}

std::expected<void, int> Connection::send_all(std::string_view bytes) {
  return platform::send_all(writer_.get(), bytes);
}

}  // namespace brelvo::bridge
