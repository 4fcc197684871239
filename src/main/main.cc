#include <cstdlib>

#include "main/dispatch.h"
#include "main/output.h"
#include "main/process_setup.h"

int main(int argc, char** argv) {
  brelvo::cli::prepare_process();
  brelvo::cli::Arguments args(argv + (argc > 0 ? 1 : argc), argv + argc);
  const brelvo::cli::Outcome outcome = brelvo::cli::dispatch(std::move(args));
  std::exit(brelvo::cli::write_outcome(outcome, 1));
}
