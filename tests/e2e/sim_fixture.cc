#include "sim_fixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <sstream>
#include <thread>

#include "json/json_parse.h"
#include "json/json_text.h"

namespace brelvo::e2e {

bool wait_for_file(const std::filesystem::path& path) {
  return wait_until([&path] {
    std::error_code ec;
    return std::filesystem::file_size(path, ec) > 0 && !ec;
  });
}

bool wait_until(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}

std::vector<std::string> logged_lines(const std::filesystem::path& log) {
  std::vector<std::string> lines;
  std::istringstream in(read_text(log));
  for (std::string line; std::getline(in, line);) lines.push_back(line + "\n");
  return lines;
}

void SimTest::TearDown() {
  stop_sim();
}

void SimTest::start_sim(std::vector<std::string> options) {
  options.insert(options.begin(),
                 {"--control", control_path().string(), "--log", (dir() / "requests.log").string(),
                  "--connections-log", (dir() / "connections.log").string()});
  sim_pid_ = start_background(kSimPath, options);
  ASSERT_GT(sim_pid_, 0);
  ASSERT_TRUE(wait_for_file(control_path())) << "the simulator wrote no control file";
}

void SimTest::stop_sim() {
  stop_process(sim_pid_);
  sim_pid_ = -1;
}

std::string SimTest::token() const {
  auto control = json::parse_json(read_text(control_path()));
  return std::string(control ? control->get_string("token").value_or("") : "");
}

std::vector<std::string> SimTest::requests() const {
  return logged_lines(dir() / "requests.log");
}

std::size_t SimTest::connections() const {
  const std::string log = read_text(dir() / "connections.log");
  return static_cast<std::size_t>(std::count(log.begin(), log.end(), '\n'));
}

json::JsonValue SimTest::direct_exec(std::string_view tool) const {
  auto control = json::parse_json(read_text(control_path()));
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(*control->get("port")->as_unsigned()));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return nullptr;
  const std::string line = request_line(
      99, "exec", "{\"args\":{},\"timeout_ms\":1000,\"tool\":\"" + std::string(tool) + "\"}",
      token());
  ::send(fd, line.data(), line.size(), MSG_NOSIGNAL);
  std::string answer;
  char buffer[65536];
  while (answer.find('\n') == std::string::npos) {
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    answer.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  auto parsed = json::parse_json(answer);
  const json::JsonValue* result = parsed ? parsed->get("result") : nullptr;
  return result ? *result : json::JsonValue();
}

RunResult SimTest::cli(std::vector<std::string> args, RunOptions options) const {
  args.insert(args.begin(), {"--control", control_path().string()});
  return run_program(kCliPath, args, options);
}

std::string request_line(std::uint64_t id, std::string_view method, std::string_view params,
                         std::string_view token) {
  return "{\"id\":" + std::to_string(id) + ",\"method\":\"" + std::string(method) +
         "\",\"params\":" + std::string(params) +
         ",\"token\":" + json::to_compact_text(json::JsonValue(token)) + "}\n";
}

std::string printed_error(std::string_view code, std::string_view message) {
  json::JsonObject error;
  error.insert("code", code);
  error.insert("message", message);
  json::JsonObject wrapper;
  wrapper.insert("error", std::move(error));
  return json::to_indented_text(wrapper) + "\n";
}

}  // namespace brelvo::e2e
