// The control server: one thread per connection, one answer line per
// request line, with the faults of the options applied.
#pragma once

#include <atomic>
#include <cstdint>
#include <expected>
#include <mutex>
#include <string>

#include "model.h"
#include "options.h"
#include "platform/unique_fd.h"

namespace brelvo::sim {

class Server {
 public:
  Server(SimOptions options, StartupState startup);

  // Binds 127.0.0.1; the errno when that fails.
  std::expected<void, int> listen();
  std::uint16_t port() const { return port_; }
  // Writes the control file atomically (temp file, then rename).
  bool write_control_file();
  void remove_control_file();
  // Accepts connections on a background thread.
  void start_accepting();

 private:
  void serve_connection(int fd);
  // The answer line for one request line (with its line feed), or nothing
  // when the connection is to be closed without an answer.
  std::string answer(const std::string& line, std::uint64_t request_number);
  json::JsonValue ping_result();
  void log_request(const std::string& line);
  void after_request(std::uint64_t request_number);
  bool write_answer(int fd, const std::string& text, std::uint64_t request_number);
  std::string current_token();

  SimOptions options_;
  Workspace workspace_;
  platform::UniqueFd listener_;
  std::uint16_t port_ = 0;
  std::mutex mutex_;  // token and the log files
  std::string token_;
  std::atomic<std::uint64_t> requests_{0};
  std::atomic<std::uint64_t> pings_{0};
};

}  // namespace brelvo::sim
