// From the argument list to an outcome: help and version, the global options,
// the control-file path, and the command table.
#pragma once

#include <string>
#include <string_view>

#include "main/handlers.h"

namespace brelvo::cli {

extern const std::string_view kUsageText;

// What a run ends with: the usage text, or a result or error to print.
struct Outcome {
  bool show_usage = false;
  CommandResult result;
};

Outcome dispatch(Arguments args);

}  // namespace brelvo::cli
