// Bridge: the handle on the control link. It owns at most one connection to
// the application, opened by the first request and kept for every later one
// until a failure drops it; request ids count up over the whole run.
//
//   Bridge bridge("/home/u/.local/share/Brelvo/control.json");
//   auto pong = bridge.request("ping", nullptr, kPingTimeout);
//   auto found = bridge.exec_tool("find_elements", args, 180);
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>

#include "bridge/control_link.h"

namespace brelvo::bridge {

class Connection;

// Limits that tests shorten; the defaults are the protocol's.
struct BridgeTiming {
  std::chrono::milliseconds connect_limit{3000};
  // Added to a request's time-out to give the limit of the whole answer.
  std::chrono::milliseconds receive_grace{15000};
  std::chrono::milliseconds launch_wait{120000};
  std::chrono::milliseconds launch_poll_interval{500};
};

// Where launch looks for the application; tests point it elsewhere.
struct LaunchOptions {
  // The program's own executable, whose directory is searched first;
  // nothing means the running one (/proc/self/exe).
  std::optional<std::filesystem::path> own_executable;
};

class Bridge final : public ControlLink {
 public:
  // Reads, opens and checks nothing yet: the file need not exist.
  explicit Bridge(std::filesystem::path control_path, BridgeTiming timing = {},
                  LaunchOptions launch_options = {});
  ~Bridge() override;

  std::expected<json::JsonValue, BridgeError> request(std::string_view method,
                                                      json::JsonValue params,
                                                      Seconds timeout) override;
  std::expected<json::JsonValue, BridgeError> exec_tool(std::string_view tool, json::JsonValue args,
                                                        Seconds timeout) override;
  std::expected<void, BridgeError> launch() override;
  const std::filesystem::path& control_path() const override { return control_path_; }

  // A "ping" answered with "ready": true.
  bool is_ready();
  void drop_connection();

 private:
  // A failed attempt, and whether any byte of an answer had arrived: from
  // then on the application has taken the request and may have acted on it.
  struct Failure {
    BridgeError error;
    bool answer_arrived = false;
  };

  std::expected<json::JsonValue, Failure> attempt(std::string_view method,
                                                  const json::JsonValue& params, Seconds timeout);
  std::expected<void, BridgeError> ensure_connection();
  std::expected<void, BridgeError> send_request(std::string_view method,
                                                const json::JsonValue& params);
  std::expected<std::string, Failure> receive_answer(Seconds timeout);
  std::expected<void, BridgeError> wait_until_ready();

  std::filesystem::path control_path_;
  BridgeTiming timing_;
  LaunchOptions launch_options_;
  std::unique_ptr<Connection> connection_;
  std::uint64_t next_id_ = 1;
};

}  // namespace brelvo::bridge
