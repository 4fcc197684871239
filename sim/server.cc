#include "server.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>
#include <thread>

#include "bridge/control_file.h"
#include "bridge/control_path.h"
#include "bridge/control_protocol.h"
#include "platform/clock.h"
#include "platform/fd_io.h"
#include "platform/files.h"
#include "platform/line_reader.h"
#include "platform/process.h"
#include "platform/sockets.h"
#include "version/version.h"

namespace brelvo::sim {
namespace {

std::string random_token() {
  std::random_device device;
  std::string token;
  for (int i = 0; i < 32; ++i) token.push_back("0123456789abcdef"[device() % 16]);
  return token;
}

void sleep_ms(int ms) {
  platform::sleep_for(std::chrono::milliseconds(ms));
}

bool send_all(int fd, std::string_view bytes) {
  return platform::send_all(fd, bytes).has_value();
}

}  // namespace

Server::Server(SimOptions options, StartupState startup)
    : options_(std::move(options)),
      workspace_(ToolSettings{options_.answer_bytes, options_.screenshot_bytes,
                              options_.screenshot_base64, std::move(startup)}),
      token_(random_token()) {
  if (options_.control_path.empty()) {
    options_.control_path = bridge::default_control_path().value_or("Brelvo/control.json");
  }
}

std::expected<void, int> Server::listen() {
  auto listener = platform::listen_loopback(options_.port);
  if (!listener) return std::unexpected(listener.error());
  auto port = platform::local_port(listener->get());
  if (!port) return std::unexpected(port.error());
  listener_ = std::move(*listener);
  port_ = *port;
  return {};
}

bool Server::write_control_file() {
  const bridge::ControlFile control{
      .token = current_token(),
      .exe = platform::own_executable_path().value_or(std::filesystem::path()).string(),
      .port = port_};
  std::error_code ec;
  std::filesystem::create_directories(options_.control_path.parent_path(), ec);
  const std::filesystem::path temporary = options_.control_path.string() + ".tmp";
  if (!platform::write_whole_file(temporary, bridge::control_file_text(control))) return false;
  std::filesystem::rename(temporary, options_.control_path, ec);
  return !ec;
}

void Server::remove_control_file() {
  std::error_code ec;
  std::filesystem::remove(options_.control_path, ec);
}

void Server::start_accepting() {
  std::thread([this] {
    for (;;) {
      auto connection = platform::accept_connection(listener_.get());
      if (!connection) return;
      if (!options_.connections_log_path.empty()) {
        std::lock_guard lock(mutex_);
        std::ofstream(options_.connections_log_path, std::ios::app) << "connection\n";
      }
      std::thread([this, fd = std::move(*connection)] { serve_connection(fd.get()); }).detach();
    }
  }).detach();
}

std::string Server::current_token() {
  std::lock_guard lock(mutex_);
  return token_;
}

void Server::log_request(const std::string& line) {
  if (options_.log_path.empty()) return;
  std::lock_guard lock(mutex_);
  std::ofstream(options_.log_path, std::ios::app | std::ios::binary) << line;
}

void Server::serve_connection(int fd) {
  platform::LineReader reader(fd, platform::LineEnding::kKept);
  for (;;) {
    const auto line = reader.read_line();
    // A line that the client did not finish is never answered.
    if (!line || !*line || !(*line)->ends_with('\n')) return;
    log_request(**line);
    const std::uint64_t number = ++requests_;
    const std::string text = answer(**line, number);
    const bool keep_open = write_answer(fd, text, number);
    after_request(number);
    if (!keep_open) return;
  }
}

std::string Server::answer(const std::string& line, std::uint64_t number) {
  auto request = bridge::read_request(line);
  if (!request) {
    return bridge::error_line("bad_request", "not a JSON request: " + request.error().message());
  }
  if (request->token != current_token()) {
    return bridge::error_line("unauthorized", "wrong or missing token");
  }
  if (number <= static_cast<std::uint64_t>(options_.not_ready_error)) {
    return bridge::error_line("not_ready", "Brelvo is still starting");
  }
  const std::string& name = request->method;
  if (name == "ping") return bridge::result_line(ping_result());
  if (name == "commands") return bridge::result_line(workspace_.catalogue());
  if (name != "exec") return bridge::error_line("unknown_method", "unknown method: " + name);
  bridge::ExecCall call = bridge::read_exec_params(std::move(request->params));
  if (auto delay = options_.tool_delays_ms.find(call.tool);
      delay != options_.tool_delays_ms.end()) {
    sleep_ms(delay->second);
  }
  return bridge::result_line(workspace_.run_tool(call.tool, call.args));
}

json::JsonValue Server::ping_result() {
  const std::uint64_t ping = ++pings_;
  json::JsonObject result;
  result.insert("name", "Brelvo Desktop");
  result.insert("version", kVersion);
  result.insert("pid", static_cast<std::int64_t>(::getpid()));
  result.insert("models", static_cast<std::uint64_t>(workspace_.model_count()));
  result.insert("ready", ping > static_cast<std::uint64_t>(options_.not_ready));
  return result;
}

bool Server::write_answer(int fd, const std::string& text, std::uint64_t number) {
  sleep_ms(options_.delay_ms);
  auto within = [number](int n) { return number <= static_cast<std::uint64_t>(n); };
  if (within(options_.close_without_answer)) return false;
  if (within(options_.garbage)) return send_all(fd, "this is not JSON\n");
  if (within(options_.invalid_utf8)) return send_all(fd, "{\"ok\":true,\"result\":\"\xFF\xFE\"}\n");
  if (within(options_.no_newline_close)) {
    send_all(fd, std::string_view(text).substr(0, text.size() - 1));
    return false;
  }
  if (within(options_.half_line_close)) {
    send_all(fd, std::string_view(text).substr(0, text.size() / 2));
    return false;
  }
  if (options_.trickle_ms > 0) {
    for (char c : text) {
      if (!send_all(fd, std::string_view(&c, 1))) return false;
      sleep_ms(options_.trickle_ms);
    }
    return true;
  }
  if (options_.double_answer && !send_all(fd, text)) return false;
  return send_all(fd, text);
}

void Server::after_request(std::uint64_t number) {
  if (options_.rotate_token_after > 0 &&
      number == static_cast<std::uint64_t>(options_.rotate_token_after)) {
    {
      std::lock_guard lock(mutex_);
      token_ = random_token();
    }
    write_control_file();
  }
  if (options_.exit_after > 0 && number == static_cast<std::uint64_t>(options_.exit_after)) {
    remove_control_file();
    std::_Exit(0);
  }
}

}  // namespace brelvo::sim
