// TestServer: a scripted stand-in for the application's control port on
// 127.0.0.1. The n-th accepted connection runs the n-th handler; after the
// last one is accepted the port is closed, so further connects are refused.
// Every line the server reads is recorded, over all connections, in order.
//
//   TestServer server({[](Peer& peer) { peer.answer(R"({"ok":true,"result":7})"); }});
//   ... bridge.request(...) ...
//   EXPECT_EQ(server.finish(), (std::vector<std::string>{R"({"id":1,...})"}));
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/unique_fd.h"

namespace brelvo::bridge::testing {

using platform::UniqueFd;

class Peer {
 public:
  Peer(int fd, int stop_fd, std::function<void(std::string)> record)
      : fd_(fd), stop_fd_(stop_fd), record_(std::move(record)) {}

  // The next line without its line feed; nothing once the client closed or
  // the server is stopping.
  std::optional<std::string> read_line();
  void send(std::string_view bytes);
  // Reads one request and answers it with the line and a line feed.
  void answer(std::string_view line);
  // Returns once the client has closed its side or the server is stopping.
  void wait_for_close();

 private:
  // Waits for bytes and appends them to pending_; false at close or stop.
  bool receive_more();

  int fd_;
  int stop_fd_;
  std::function<void(std::string)> record_;
  std::string pending_;
};

class TestServer {
 public:
  using Handler = std::function<void(Peer&)>;

  explicit TestServer(std::vector<Handler> handlers);
  ~TestServer();
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  std::uint16_t port() const { return port_; }
  // Stops the server and gives every line received.
  std::vector<std::string> finish();

 private:
  void serve(std::vector<Handler> handlers);
  // Waits for a connection; an invalid descriptor when stopping.
  UniqueFd accept_next();

  // Set by the listener's initialiser, so declared before it.
  std::uint16_t port_ = 0;
  UniqueFd listener_;
  UniqueFd stop_read_;
  UniqueFd stop_write_;
  std::mutex mutex_;
  std::vector<std::string> received_;
  std::thread thread_;
};

// A loopback port on which nothing listens.
std::uint16_t closed_port();

}  // namespace brelvo::bridge::testing
