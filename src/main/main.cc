#include <cstdlib>

#include "main/dispatch.h"
#include "main/output.h"
#include "platform/process.h"

int main(int argc, char** argv) {
  brelvo::platform::ignore_broken_pipes();
  brelvo::platform::fill_standard_descriptors();
  brelvo::cli::Arguments args(argv + (argc > 0 ? 1 : argc), argv + argc);
  const brelvo::cli::Outcome outcome = brelvo::cli::dispatch(std::move(args));
  std::exit(brelvo::cli::write_outcome(outcome, 1));
}
