#include "main/output.h"

#include "json/json_text.h"
#include "platform/fd_io.h"

namespace brelvo::cli {
namespace {

constexpr int kUnwrittenExit = 2;

// Writes the document: the usage text, the indented result or error with
// one line feed, or nothing for a null result. The result's text goes out
// in pieces as it is printed, so a large one is never held whole; false when
// a piece was not written.
bool write_document(const Outcome& outcome, int fd) {
  if (outcome.show_usage) return platform::write_all(fd, kUsageText).has_value();
  const auto write_piece = [fd](std::string_view piece) {
    return platform::write_all(fd, piece).has_value();
  };
  if (!outcome.result) {
    json::JsonObject wrapper;
    wrapper.insert("error", outcome.result.error().to_json());
    return json::write_indented_text(wrapper, "\n", write_piece);
  }
  if (outcome.result->is_null()) return true;
  return json::write_indented_text(*outcome.result, "\n", write_piece);
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
  if (!write_document(outcome, fd) && exit_code == 0) return kUnwrittenExit;
  return exit_code;
}

}  // namespace brelvo::cli
