#include "bridge/bridge.h"

#include <cerrno>

#include "bridge/connection.h"
#include "bridge/control_file.h"
#include "bridge/control_protocol.h"
#include "bridge/launcher.h"
#include "json/utf8.h"
#include "platform/clock.h"
#include "platform/process.h"

namespace brelvo::bridge {

namespace {

// When the whole answer must have arrived, counted from the start of
// reading; nothing when that lies beyond the clock's range, which waits
// without end.
platform::Deadline answer_deadline(Seconds timeout, std::chrono::milliseconds grace) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  const auto room =
      std::chrono::duration_cast<std::chrono::seconds>(Clock::time_point::max() - start - grace);
  if (timeout >= static_cast<std::uint64_t>(room.count())) return std::nullopt;
  return start + grace + std::chrono::seconds(timeout);
}

BridgeError receive_error(int errnum, Seconds timeout) {
  if (errnum == ETIMEDOUT) {
    return BridgeError::timeout("no answer from Brelvo within " + std::to_string(timeout) + " s");
  }
  return BridgeError::from_errno(errnum);
}

// An io failure may be a connection that died with a restarted application,
// worth one more try on a fresh one. Not for an "exec" that got any answer:
// its tool has run, and a second request would run it again.
bool worth_retrying(std::string_view method, const BridgeError& error, bool answer_arrived) {
  return error.kind() == BridgeError::Kind::kIo && !(answer_arrived && method == "exec");
}

}  // namespace

Bridge::Bridge(std::filesystem::path control_path, BridgeTiming timing,
               LaunchOptions launch_options)
    : control_path_(std::move(control_path)),
      timing_(timing),
      launch_options_(std::move(launch_options)) {}

Bridge::~Bridge() = default;

std::expected<json::JsonValue, BridgeError> Bridge::request(std::string_view method,
                                                            json::JsonValue params,
                                                            Seconds timeout) {
  auto outcome = attempt(method, params, timeout);
  if (!outcome && worth_retrying(method, outcome.error().error, outcome.error().answer_arrived)) {
    drop_connection();
    outcome = attempt(method, params, timeout);
  }
  if (outcome) return std::move(*outcome);
  return std::unexpected(std::move(outcome.error().error));
}

std::expected<json::JsonValue, BridgeError> Bridge::exec_tool(std::string_view tool,
                                                              json::JsonValue args,
                                                              Seconds timeout) {
  return request("exec", exec_params(tool, std::move(args), timeout), timeout);
}

bool Bridge::is_ready() {
  const auto pong = request("ping", nullptr, kPingTimeout);
  if (!pong) return false;
  const json::JsonValue* ready = pong->get("ready");
  return ready != nullptr && ready->is_true();
}

void Bridge::drop_connection() {
  connection_.reset();
}

std::expected<void, BridgeError> Bridge::launch() {
  if (is_ready()) return {};
  // An application that answers at all is starting up: wait, start nothing.
  if (!request("ping", nullptr, kPingTimeout)) {
    const std::filesystem::path own_executable =
        launch_options_.own_executable
            ? *launch_options_.own_executable
            : platform::own_executable_path().value_or(std::filesystem::path());
    if (auto started = start_application(own_executable, control_path_); !started) {
      return started;
    }
  }
  return wait_until_ready();
}

std::expected<json::JsonValue, Bridge::Failure> Bridge::attempt(std::string_view method,
                                                                const json::JsonValue& params,
                                                                Seconds timeout) {
  if (auto opened = ensure_connection(); !opened) return std::unexpected(Failure{opened.error()});
  if (auto sent = send_request(method, params); !sent)
    return std::unexpected(Failure{sent.error()});
  auto line = receive_answer(timeout);
  if (!line) return std::unexpected(std::move(line.error()));
  auto result = answer_result(std::move(*line));
  if (result) return std::move(*result);
  // The application was restarted with a new token: read it on reconnecting.
  if (is_unauthorized(result.error())) drop_connection();
  return std::unexpected(Failure{std::move(result.error()), true});
}

std::expected<void, BridgeError> Bridge::ensure_connection() {
  if (connection_) return {};
  auto control = read_control_file(control_path_);
  if (!control) return std::unexpected(control.error());
  auto opened = Connection::open(control->port, std::move(control->token), timing_.connect_limit);
  if (!opened) return std::unexpected(opened.error());
  connection_ = std::move(*opened);
  return {};
}

std::expected<void, BridgeError> Bridge::send_request(std::string_view method,
                                                      const json::JsonValue& params) {
  const std::uint64_t id = next_id_++;
  const auto sent = connection_->send_all(request_line(id, method, params, connection_->token()));
  if (sent) return {};
  drop_connection();
  return std::unexpected(BridgeError::from_errno(sent.error()));
}

std::expected<std::string, Bridge::Failure> Bridge::receive_answer(Seconds timeout) {
  auto line = connection_->read_line(answer_deadline(timeout, timing_.receive_grace));
  std::optional<Failure> failure;
  if (!line) {
    failure = Failure{receive_error(line.error(), timeout), connection_->answer_started()};
  } else if (!*line) {
    failure = Failure{BridgeError::io("Brelvo closed the connection")};
  } else if (!json::is_valid_utf8(**line)) {
    failure = Failure{BridgeError::io("stream did not contain valid UTF-8"), true};
  }
  if (!failure) return std::move(**line);
  drop_connection();
  return std::unexpected(std::move(*failure));
}

std::expected<void, BridgeError> Bridge::wait_until_ready() {
  const auto deadline = std::chrono::steady_clock::now() + timing_.launch_wait;
  for (;;) {
    if (std::chrono::steady_clock::now() >= deadline) {
      const auto limit = std::chrono::duration_cast<std::chrono::seconds>(timing_.launch_wait);
      return std::unexpected(BridgeError::timeout("Brelvo did not become ready within " +
                                                  std::to_string(limit.count()) + " s"));
    }
    platform::sleep_for(timing_.launch_poll_interval);
    // The application writes a new control file when it starts.
    drop_connection();
    if (is_ready()) return {};
  }
}

}  // namespace brelvo::bridge
