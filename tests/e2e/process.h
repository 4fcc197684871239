// Running the real binaries from tests: the command line under test with its
// captured output, and the simulator in the background.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace brelvo::e2e {

struct RunResult {
  std::string out;
  std::string err;
  int exit_code = -1;
};

struct RunOptions {
  // Replaces these variables; a nullopt value removes the variable.
  std::map<std::string, std::optional<std::string>> env;
  std::string input;
  std::filesystem::path cwd;
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

}  // namespace brelvo::e2e
