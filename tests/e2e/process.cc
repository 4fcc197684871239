#include "process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace brelvo::e2e {
namespace {

using Clock = std::chrono::steady_clock;
// A point in time to stop waiting at; kNoDeadline waits for ever.
using Deadline = Clock::time_point;
constexpr Deadline kNoDeadline = Deadline::max();

Deadline deadline_after(std::chrono::milliseconds limit) {
  if (limit <= std::chrono::milliseconds::zero()) return kNoDeadline;
  return Clock::now() + limit;
}

// The wait for poll: the milliseconds left, or -1 without a deadline.
int poll_wait(Deadline deadline) {
  if (deadline == kNoDeadline) return -1;
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left, 0, INT_MAX));
}

std::vector<std::string> build_environment(
    const std::map<std::string, std::optional<std::string>>& changes) {
  std::vector<std::string> env;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    std::string text = *entry;
    if (!changes.contains(text.substr(0, text.find('=')))) env.push_back(text);
  }
  for (const auto& [name, value] : changes) {
    if (value) env.push_back(name + "=" + *value);
  }
  return env;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
  std::vector<char*> result;
  for (auto& s : strings) result.push_back(s.data());
  result.push_back(nullptr);
  return result;
}

// BRELVO_E2E_WRAPPER (an absolute path and its words, e.g. a valgrind
// command) runs every brelvo-cli of the suite under that program.
std::vector<std::string> command_words(const std::filesystem::path& program) {
  std::vector<std::string> words;
  const char* wrapper = std::getenv("BRELVO_E2E_WRAPPER");
  if (wrapper != nullptr && program.filename() == "brelvo-cli") {
    std::istringstream in(wrapper);
    for (std::string word; in >> word;) words.push_back(word);
  }
  words.push_back(program.string());
  return words;
}

pid_t spawn(const std::filesystem::path& program, const std::vector<std::string>& args,
            const std::map<std::string, std::optional<std::string>>& env_changes,
            posix_spawn_file_actions_t* actions) {
  std::vector<std::string> argv_strings = command_words(program);
  argv_strings.insert(argv_strings.end(), args.begin(), args.end());
  std::vector<std::string> env_strings = build_environment(env_changes);
  auto argv = pointers(argv_strings);
  auto envp = pointers(env_strings);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv_strings[0].c_str(), actions, nullptr, argv.data(), envp.data()) != 0)
    return -1;
  return pid;
}

constexpr auto kSlowReaderDelay = std::chrono::milliseconds(200);

// Writes the input and reads both outputs at once, so that no pipe fills up;
// standard output only from read_out_from on. At the deadline the process is
// killed, and its outputs are read to the end.
void pump(int in_fd, std::string_view input, int out_fd, int err_fd, pid_t pid, Deadline deadline,
          Clock::time_point read_out_from, RunResult& result) {
  if (input.empty()) {
    ::close(in_fd);
    in_fd = -1;
  }
  while (out_fd >= 0 || err_fd >= 0) {
    const bool out_held = Clock::now() < read_out_from;
    const Deadline wake = out_held ? std::min(deadline, read_out_from) : deadline;
    pollfd fds[3] = {{out_held ? -1 : out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}, {in_fd, POLLOUT, 0}};
    const int ready = ::poll(fds, 3, poll_wait(wake));
    if (ready < 0 && errno != EINTR) return;
    if (ready == 0 && deadline != kNoDeadline && Clock::now() >= deadline) {
      if (pid > 0) ::kill(pid, SIGKILL);
      result.killed = true;
      deadline = kNoDeadline;
      continue;
    }
    char buffer[65536];
    for (int i = 0; i < 2; ++i) {
      if (fds[i].revents == 0) continue;
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        ::close(fds[i].fd);
        (i == 0 ? out_fd : err_fd) = -1;
      }
    }
    if (in_fd >= 0 && fds[2].revents != 0) {
      const ssize_t n = ::write(in_fd, input.data(), std::min<std::size_t>(input.size(), 65536));
      if (n > 0) input.remove_prefix(static_cast<std::size_t>(n));
      if (n < 0 || input.empty()) {
        ::close(in_fd);
        in_fd = -1;
      }
    }
  }
  if (in_fd >= 0) ::close(in_fd);
}

// The child's three standard streams, as the parent's ends of its pipes.
struct PipedChild {
  pid_t pid = -1;
  int in_fd = -1;
  int out_fd = -1;
  int err_fd = -1;
};

PipedChild spawn_piped(const std::filesystem::path& program, const std::vector<std::string>& args,
                       const std::map<std::string, std::optional<std::string>>& env,
                       const std::filesystem::path& cwd, bool non_blocking_output = false) {
  int in_pipe[2], out_pipe[2], err_pipe[2];
  if (::pipe2(in_pipe, O_CLOEXEC) != 0 || ::pipe2(out_pipe, O_CLOEXEC) != 0 ||
      ::pipe2(err_pipe, O_CLOEXEC) != 0) {
    return {};
  }
  // The flag belongs to the child's end alone; this end stays blocking.
  if (non_blocking_output) ::fcntl(out_pipe[1], F_SETFL, O_NONBLOCK);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in_pipe[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out_pipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err_pipe[1], 2);
  if (!cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
  const pid_t pid = spawn(program, args, env, &actions);
  posix_spawn_file_actions_destroy(&actions);
  ::close(in_pipe[0]);
  ::close(out_pipe[1]);
  ::close(err_pipe[1]);
  ::signal(SIGPIPE, SIG_IGN);
  return {pid, in_pipe[1], out_pipe[0], err_pipe[0]};
}

// The exit code of a finished child, 128 + the signal for one killed, -1 for none.
int wait_exit_code(pid_t pid) {
  int status = 0;
  if (pid <= 0 || ::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

RunResult run_program(const std::filesystem::path& program, const std::vector<std::string>& args,
                      const RunOptions& options) {
  const PipedChild child =
      spawn_piped(program, args, options.env, options.cwd, options.slow_non_blocking_output);
  if (child.in_fd < 0) return {};
  RunResult result;
  const Clock::time_point read_out_from =
      Clock::now() +
      (options.slow_non_blocking_output ? kSlowReaderDelay : Clock::duration::zero());
  pump(child.in_fd, options.input, child.out_fd, child.err_fd, child.pid,
       deadline_after(options.kill_after), read_out_from, result);
  result.exit_code = wait_exit_code(child.pid);
  return result;
}

pid_t start_background(const std::filesystem::path& program, const std::vector<std::string>& args,
                       const std::map<std::string, std::optional<std::string>>& env) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  for (int fd = 0; fd <= 2; ++fd) {
    posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
  }
  const pid_t pid = spawn(program, args, env, &actions);
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

bool process_alive(pid_t pid) {
  int status = 0;
  if (::waitpid(pid, &status, WNOHANG) == pid) return false;
  if (::kill(pid, 0) != 0) return false;
  // A detached process that has exited stays a zombie until someone else reaps it.
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string fields;
  std::getline(stat, fields);
  const std::size_t close = fields.rfind(')');
  return close == std::string::npos || close + 2 >= fields.size() || fields[close + 2] != 'Z';
}

void stop_process(pid_t pid) {
  if (pid <= 0) return;
  ::kill(pid, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  while (process_alive(pid) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (process_alive(pid)) ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
}

InteractiveProcess::InteractiveProcess(const std::filesystem::path& program,
                                       const std::vector<std::string>& args) {
  const PipedChild child = spawn_piped(program, args, {}, {});
  pid_ = child.pid;
  in_fd_ = child.in_fd;
  out_fd_ = child.out_fd;
  err_fd_ = child.err_fd;
}

InteractiveProcess::~InteractiveProcess() {
  for (int fd : {in_fd_, out_fd_, err_fd_}) {
    if (fd >= 0) ::close(fd);
  }
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
}

void InteractiveProcess::write(std::string_view text) {
  while (in_fd_ >= 0 && !text.empty()) {
    const ssize_t n = ::write(in_fd_, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    text.remove_prefix(static_cast<std::size_t>(n));
  }
}

std::optional<std::string> InteractiveProcess::read_line(std::chrono::milliseconds limit) {
  const Deadline deadline = deadline_after(limit);
  for (;;) {
    if (const std::size_t end = out_buffer_.find('\n'); end != std::string::npos) {
      std::string line = out_buffer_.substr(0, end);
      out_buffer_.erase(0, end + 1);
      return line;
    }
    pollfd wanted{out_fd_, POLLIN, 0};
    const int ready = ::poll(&wanted, 1, poll_wait(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return std::nullopt;
    char buffer[65536];
    const ssize_t n = ::read(out_fd_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return std::nullopt;
    out_buffer_.append(buffer, static_cast<std::size_t>(n));
  }
}

RunResult InteractiveProcess::finish(std::chrono::milliseconds limit) {
  RunResult result;
  pump(in_fd_, {}, out_fd_, err_fd_, pid_, deadline_after(limit), Clock::now(), result);
  in_fd_ = out_fd_ = err_fd_ = -1;
  result.out.insert(0, out_buffer_);
  out_buffer_.clear();
  result.exit_code = wait_exit_code(pid_);
  pid_ = -1;
  return result;
}

}  // namespace brelvo::e2e
