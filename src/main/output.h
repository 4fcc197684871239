// The one place where a run's outcome is printed and its exit code chosen.
#pragma once

#include "main/dispatch.h"

namespace brelvo::cli {

// Writes the usage text, the indented result, or {"error": {code, message}},
// each followed by one line feed, whole to `fd`, waiting on a non-blocking
// descriptor; a null result prints nothing. Returns the process's exit code:
// the outcome's, or 2 for a successful outcome whose text could not be
// written whole (a full disk, a closed pipe).
int write_outcome(const Outcome& outcome, int fd);

}  // namespace brelvo::cli
