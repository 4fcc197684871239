#include "server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>
#include <thread>

#include "bridge/control_path.h"
#include "json/json_parse.h"
#include "json/json_text.h"
#include "version/version.h"

namespace brelvo::sim {
namespace {

std::string random_token() {
  std::random_device device;
  std::string token;
  for (int i = 0; i < 32; ++i) token.push_back("0123456789abcdef"[device() % 16]);
  return token;
}

std::string own_executable() {
  std::error_code ec;
  auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : path.string();
}

void sleep_ms(int ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool send_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::string success_line(json::JsonValue result) {
  json::JsonObject answer;
  answer.insert("ok", true);
  answer.insert("result", std::move(result));
  std::string text;
  json::append_compact_text(text, answer);
  text.push_back('\n');
  return text;
}

std::string error_line(std::string code, std::string message) {
  json::JsonObject error;
  error.insert("code", std::move(code));
  error.insert("message", std::move(message));
  json::JsonObject answer;
  answer.insert("ok", false);
  answer.insert("error", std::move(error));
  return json::to_compact_text(answer) + "\n";
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

bool Server::listen() {
  listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listen_fd_ < 0) return false;
  const int one = 1;
  ::setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(options_.port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return false;
  if (::listen(listen_fd_, 64) != 0) return false;
  socklen_t length = sizeof address;
  ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  return true;
}

bool Server::write_control_file() {
  json::JsonObject control;
  control.insert("protocol", kControlProtocol);
  control.insert("port", port_);
  control.insert("token", current_token());
  control.insert("exe", own_executable());
  std::error_code ec;
  std::filesystem::create_directories(options_.control_path.parent_path(), ec);
  const std::filesystem::path temporary = options_.control_path.string() + ".tmp";
  {
    std::ofstream out(temporary, std::ios::trunc);
    out << json::to_indented_text(control) << '\n';
    if (!out.flush()) return false;
  }
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
      const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) {
        if (errno == EINTR || errno == ECONNABORTED) continue;
        return;
      }
      const int one = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      if (!options_.connections_log_path.empty()) {
        std::lock_guard lock(mutex_);
        std::ofstream(options_.connections_log_path, std::ios::app) << "connection\n";
      }
      std::thread([this, fd] { serve_connection(fd); }).detach();
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
  std::string pending;
  char buffer[65536];
  for (;;) {
    std::size_t newline;
    while ((newline = pending.find('\n')) == std::string::npos) {
      const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        ::close(fd);
        return;
      }
      pending.append(buffer, static_cast<std::size_t>(n));
    }
    std::string line = pending.substr(0, newline + 1);
    pending.erase(0, newline + 1);
    log_request(line);
    const std::uint64_t number = ++requests_;
    const std::string text = answer(line, number);
    const bool keep_open = write_answer(fd, text, number);
    after_request(number);
    if (!keep_open) {
      ::close(fd);
      return;
    }
  }
}

std::string Server::answer(const std::string& line, std::uint64_t number) {
  auto request = json::parse_json(line);
  if (!request)
    return error_line("bad_request", "not a JSON request: " + request.error().message());
  const json::JsonValue* token = request->get("token");
  if (!token || !token->is_string() || std::string_view(*token->as_string()) != current_token()) {
    return error_line("unauthorized", "wrong or missing token");
  }
  if (number <= static_cast<std::uint64_t>(options_.not_ready_error)) {
    return error_line("not_ready", "Brelvo is still starting");
  }
  const json::JsonValue* method = request->get("method");
  const std::string name =
      method && method->is_string() ? std::string(*method->as_string()) : std::string();
  if (name == "ping") return success_line(ping_result());
  if (name == "commands") return success_line(workspace_.catalogue());
  if (name != "exec") return error_line("unknown_method", "unknown method: " + name);
  const json::JsonValue* params = request->get("params");
  const json::JsonValue* tool = params ? params->get("tool") : nullptr;
  const json::JsonValue* args = params ? params->get("args") : nullptr;
  const std::string tool_name =
      tool && tool->is_string() ? std::string(*tool->as_string()) : std::string();
  if (auto delay = options_.tool_delays_ms.find(tool_name);
      delay != options_.tool_delays_ms.end()) {
    sleep_ms(delay->second);
  }
  return success_line(
      workspace_.run_tool(tool_name, args ? *args : json::JsonValue(json::JsonObject{})));
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
