// A running simulator in a temporary directory of its own, with its control
// file and request log there, and the command line pointed at it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "json/json_value.h"
#include "process.h"
#include "support/temp_dir.h"

namespace brelvo::e2e {

inline const std::filesystem::path kCliPath = BRELVO_CLI_PATH;
inline const std::filesystem::path kSimPath = BRELVO_SIM_PATH;

using test_support::read_text;
using test_support::TempDir;
using test_support::write_text;

// Waits a bounded time (5 s) for a file to exist and be non-empty.
bool wait_for_file(const std::filesystem::path& path);
// Waits a bounded time (5 s) for the condition to hold; whether it did.
bool wait_until(const std::function<bool()>& condition);
// The lines of a log file, each with its line feed.
std::vector<std::string> logged_lines(const std::filesystem::path& log);

class SimTest : public ::testing::Test {
 protected:
  void TearDown() override;

  // Starts the simulator with its control file and request log in dir().
  void start_sim(std::vector<std::string> options = {});
  void stop_sim();

  const std::filesystem::path& dir() const { return dir_.path(); }
  std::filesystem::path control_path() const { return dir() / "control.json"; }
  pid_t sim_pid() const { return sim_pid_; }
  std::string token() const;
  // The lines the simulator received, each with its line feed.
  std::vector<std::string> requests() const;
  // How many connections the simulator accepted.
  std::size_t connections() const;

  // Asks the simulator directly, without the program: the answer's result.
  json::JsonValue direct_exec(std::string_view tool) const;

  // Runs brelvo-cli with --control pointing at the simulator's control file.
  RunResult cli(std::vector<std::string> args, RunOptions options = {}) const;

 private:
  TempDir dir_;
  pid_t sim_pid_ = -1;
};

// The request line the program sends, as the simulator logs it.
std::string request_line(std::uint64_t id, std::string_view method, std::string_view params,
                         std::string_view token);

// {"error": {"code": C, "message": M}} as printed, with its line feed.
std::string printed_error(std::string_view code, std::string_view message);

}  // namespace brelvo::e2e
