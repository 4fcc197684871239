#include "options.h"

#include <charconv>
#include <cstdlib>
#include <sstream>

namespace brelvo::sim {

const char* const kHelpText =
    "brelvo-sim: a stand-in for Brelvo Desktop that serves the control protocol\n"
    "\n"
    "  --control PATH              control file (default: the application's place)\n"
    "  --port N                    listen on this port (default: any free one)\n"
    "  --log FILE                  append every request line received\n"
    "  --connections-log FILE      append a line per accepted connection\n"
    "  --delay-ms N                delay every answer\n"
    "  --tool-delay TOOL=MS        delay one tool's answers\n"
    "  --startup-delay-ms N        wait before writing the control file\n"
    "  --trickle-ms N              write answers one byte every N ms\n"
    "  --not-ready N               the first N pings answer \"ready\": false\n"
    "  --not-ready-error N         the first N requests answer the error not_ready\n"
    "  --close-without-answer N    the first N requests: close without answering\n"
    "  --garbage N                 the first N requests: a line that is not JSON\n"
    "  --invalid-utf8 N            the first N requests: bytes that are not UTF-8\n"
    "  --no-newline-close N        the first N answers: no line feed, then close\n"
    "  --half-line-close N         the first N answers: half the line, then close\n"
    "  --double-answer             write every answer twice\n"
    "  --rotate-token N            after N requests, write a new token\n"
    "  --exit-after N              exit after N requests\n"
    "  --answer-bytes N            pad echo results to about N bytes\n"
    "  --screenshot-bytes N        make screenshots about N bytes\n"
    "  --screenshot-base64 TEXT    answer screenshots with this image text\n"
    "\n"
    "Words in BRELVO_SIM_OPTIONS are read after the command line.\n";

namespace {

template <typename Number>
bool parse_number(const std::string& text, Number& out) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc{} && end == text.data() + text.size();
}

std::vector<std::string> environment_words() {
  std::vector<std::string> words;
  if (const char* extra = std::getenv("BRELVO_SIM_OPTIONS")) {
    std::istringstream in(extra);
    for (std::string word; in >> word;) words.push_back(word);
  }
  return words;
}

}  // namespace

std::expected<SimOptions, std::string> parse_options(std::vector<std::string> words) {
  for (auto& word : environment_words()) words.push_back(std::move(word));
  SimOptions options;
  const std::map<std::string, int*> ints = {
      {"--delay-ms", &options.delay_ms},
      {"--startup-delay-ms", &options.startup_delay_ms},
      {"--trickle-ms", &options.trickle_ms},
      {"--not-ready", &options.not_ready},
      {"--not-ready-error", &options.not_ready_error},
      {"--close-without-answer", &options.close_without_answer},
      {"--garbage", &options.garbage},
      {"--invalid-utf8", &options.invalid_utf8},
      {"--no-newline-close", &options.no_newline_close},
      {"--half-line-close", &options.half_line_close},
      {"--rotate-token", &options.rotate_token_after},
      {"--exit-after", &options.exit_after},
  };
  const std::map<std::string, std::size_t*> sizes = {
      {"--answer-bytes", &options.answer_bytes}, {"--screenshot-bytes", &options.screenshot_bytes}};
  const std::map<std::string, std::filesystem::path*> paths = {
      {"--control", &options.control_path},
      {"--log", &options.log_path},
      {"--connections-log", &options.connections_log_path}};
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (word == "--help") {
      options.help = true;
      continue;
    }
    if (word == "--double-answer") {
      options.double_answer = true;
      continue;
    }
    if (i + 1 >= words.size()) return std::unexpected("missing value after " + word);
    const std::string& value = words[++i];
    bool ok = true;
    if (auto it = ints.find(word); it != ints.end()) {
      ok = parse_number(value, *it->second);
    } else if (auto size = sizes.find(word); size != sizes.end()) {
      ok = parse_number(value, *size->second);
    } else if (auto path = paths.find(word); path != paths.end()) {
      *path->second = value;
    } else if (word == "--screenshot-base64") {
      options.screenshot_base64 = value;
    } else if (word == "--port") {
      ok = parse_number(value, options.port);
    } else if (word == "--tool-delay") {
      const std::size_t equals = value.find('=');
      int ms = 0;
      ok = equals != std::string::npos && parse_number(value.substr(equals + 1), ms);
      options.tool_delays_ms[value.substr(0, equals)] = ms;
    } else {
      return std::unexpected("unknown option " + word);
    }
    if (!ok) return std::unexpected("bad value for " + word + ": " + value);
  }
  return options;
}

}  // namespace brelvo::sim
