// Connection: one open control connection to the application on 127.0.0.1.
// Answers are read through a buffered reader on the socket; requests are
// written unbuffered through a duplicate descriptor of the same socket.
#pragma once

#include <chrono>
#include <cstdint>
#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "bridge/bridge_error.h"
#include "bridge/control_link.h"
#include "platform/line_reader.h"
#include "platform/unique_fd.h"

namespace brelvo::bridge {

class Connection {
 public:
  // Connects within connect_limit. A socket that cannot be created or
  // connected means the application is not running.
  static std::expected<std::unique_ptr<Connection>, BridgeError> open(
      std::uint16_t port, std::string token, std::chrono::milliseconds connect_limit);

  // The token of the control file this connection was opened with.
  const std::string& token() const { return token_; }

  // Writes all bytes; the errno of a failed send.
  std::expected<void, int> send_all(std::string_view bytes);
  // The next answer line with its line feed, or nothing once the
  // application has closed the connection; ETIMEDOUT when the whole line
  // has not arrived by the deadline.
  std::expected<std::optional<std::string>, int> read_line(const platform::Deadline& deadline) {
    return reader_.read_line(deadline);
  }
  // Whether the last read_line received any byte, also when it failed.
  bool answer_started() const { return reader_.line_started(); }

 private:
  Connection(platform::UniqueFd socket, platform::UniqueFd writer, std::string token)
      : socket_(std::move(socket)),
        writer_(std::move(writer)),
        reader_(socket_.get(), platform::LineEnding::kKept),
        token_(std::move(token)) {}

  platform::UniqueFd socket_;
  platform::UniqueFd writer_;
  platform::LineReader reader_;
  std::string token_;
};

}  // namespace brelvo::bridge
