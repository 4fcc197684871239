#include "main/output.h"

#include <unistd.h>

#include <cerrno>

#include "json/json_text.h"

namespace brelvo::cli {
namespace {

// Errors are ignored: a reader that went away cannot be told anything.
void write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

void write_json_line(int fd, const json::JsonValue& value) {
  std::string text;
  json::append_indented_text(text, value);
  text.push_back('\n');
  write_all(fd, text);
}

}  // namespace

int write_outcome(const Outcome& outcome, int fd) {
  if (outcome.show_usage) {
    write_all(fd, kUsageText);
    return 0;
  }
  if (!outcome.result) {
    json::JsonObject wrapper;
    wrapper.insert("error", outcome.result.error().to_json());
    write_json_line(fd, wrapper);
    return outcome.result.error().exit_code();
  }
  if (!outcome.result->is_null()) write_json_line(fd, *outcome.result);
  return 0;
}

}  // namespace brelvo::cli
