// status, commands and exec against the simulator: exact output, empty
// standard error, exit codes, and the exact request lines received.
#include <gtest/gtest.h>

#include "sim_fixture.h"

namespace brelvo::e2e {
namespace {

class QueryCommands : public SimTest {};

}  // namespace
}  // namespace brelvo::e2e
