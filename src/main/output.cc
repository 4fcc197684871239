#include "main/output.h"

#include "json/json_text.h"
#include "platform/fd_io.h"

namespace brelvo::cli {
namespace {

constexpr int kUnwrittenExit = 2;

// The document's bytes: the usage text, the indented result or error with
// one line feed, or nothing for a null result.
std::string printed_text(const Outcome& outcome) {
  if (outcome.show_usage) return std::string(kUsageText);
  std::string text;
  if (!outcome.result) {
    json::JsonObject wrapper;
    wrapper.insert("error", outcome.result.error().to_json());
    json::append_indented_text(text, wrapper);
  } else if (!outcome.result->is_null()) {
    json::append_indented_text(text, *outcome.result);
  } else {
    return text;
  }
  text.push_back('\n');
  return text;
}

int outcome_exit_code(const Outcome& outcome) {
  if (outcome.show_usage || outcome.result) return 0;
  return outcome.result.error().exit_code();
}

}  // namespace

int write_outcome(const Outcome& outcome, int fd) {
  const int exit_code = outcome_exit_code(outcome);
  // A result that did not reach its reader whole is no success; nothing is
  // left to tell the reader why, and standard error stays silent.
  if (!platform::write_all(fd, printed_text(outcome)) && exit_code == 0) return kUnwrittenExit;
  return exit_code;
}

}  // namespace brelvo::cli
