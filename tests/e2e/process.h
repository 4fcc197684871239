// Running the real binaries from tests: the command line under test with its
// captured output, and the simulator in the background.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brelvo::e2e {

struct RunResult {
  std::string out;
  std::string err;
  int exit_code = -1;
  // The process outlived RunOptions::kill_after and was killed.
  bool killed = false;
};

struct RunOptions {
  // Replaces these variables; a nullopt value removes the variable.
  std::map<std::string, std::optional<std::string>> env;
  std::string input;
  std::filesystem::path cwd;
  // A hung process is killed after this long instead of holding the suite.
  std::chrono::milliseconds kill_after = std::chrono::milliseconds::zero();  // zero: never
  // Standard output is a non-blocking pipe whose reader starts only after
  // 200 ms, so that the program finds it full: a reader that is a little
  // slow, as an AI host, an editor or a job runner can be.
  bool slow_non_blocking_output = false;
};

inline RunOptions with_env(std::map<std::string, std::optional<std::string>> env) {
  RunOptions options;
  options.env = std::move(env);
  return options;
}

// Runs `program` with `args`, feeds `input` on stdin and collects both
// output streams until the process exits.
RunResult run_program(const std::filesystem::path& program, const std::vector<std::string>& args,
                      const RunOptions& options = {});

// Starts a process in the background with its streams on /dev/null.
pid_t start_background(const std::filesystem::path& program, const std::vector<std::string>& args,
                       const std::map<std::string, std::optional<std::string>>& env = {});

// Sends SIGTERM, then SIGKILL when it has not ended within a second, and reaps
// it when it is our child.
void stop_process(pid_t pid);

bool process_alive(pid_t pid);

// A process whose standard input the test writes a piece at a time, reading
// its standard output line by line in between: for sessions that must wait
// for something to happen outside before the next message.
class InteractiveProcess {
 public:
  InteractiveProcess(const std::filesystem::path& program, const std::vector<std::string>& args);
  ~InteractiveProcess();
  InteractiveProcess(const InteractiveProcess&) = delete;
  InteractiveProcess& operator=(const InteractiveProcess&) = delete;

  void write(std::string_view text);
  // The next output line without its line feed; nothing when the output
  // ends or no line arrives within the limit.
  std::optional<std::string> read_line(std::chrono::milliseconds limit = std::chrono::seconds(5));
  // Closes standard input and collects the rest of both outputs and the exit
  // code; a process still running after the limit is killed.
  RunResult finish(std::chrono::milliseconds limit = std::chrono::seconds(5));

 private:
  pid_t pid_ = -1;
  int in_fd_ = -1;
  int out_fd_ = -1;
  int err_fd_ = -1;
  std::string out_buffer_;
};

}  // namespace brelvo::e2e
