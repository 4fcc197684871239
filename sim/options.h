// The simulator's command line: where to write the control file, and the
// faults that the tests inject.
#pragma once

#include <cstdint>
#include <expected>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace brelvo::sim {

struct SimOptions {
  std::filesystem::path control_path;          // empty: the default place
  std::filesystem::path log_path;              // every request line received
  std::filesystem::path connections_log_path;  // one line per accepted connection
  std::uint16_t port = 0;
  int delay_ms = 0;
  int startup_delay_ms = 0;
  int trickle_ms = 0;
  int not_ready = 0;
  int not_ready_error = 0;
  int close_without_answer = 0;
  int garbage = 0;
  int invalid_utf8 = 0;
  int no_newline_close = 0;
  int half_line_close = 0;
  int rotate_token_after = 0;
  int exit_after = 0;
  bool double_answer = false;
  std::size_t answer_bytes = 0;
  std::size_t screenshot_bytes = 0;
  std::string screenshot_base64;  // replaces the screenshot's image text
  std::map<std::string, int> tool_delays_ms;
  bool help = false;
};

// Parses the words after the program name, then those of the environment
// variable BRELVO_SIM_OPTIONS (for a simulator started without arguments).
std::expected<SimOptions, std::string> parse_options(std::vector<std::string> words);

extern const char* const kHelpText;

}  // namespace brelvo::sim
