// Sleeping and deadlines on the monotonic clock: a change of the wall clock
// neither shortens nor stretches a wait.
#pragma once

#include <chrono>
#include <optional>

namespace brelvo::platform {

// The moment by which a wait must end; nothing means no limit.
using Deadline = std::optional<std::chrono::steady_clock::time_point>;

// Sleeps the whole duration, resuming after signals.
void sleep_for(std::chrono::nanoseconds duration);

}  // namespace brelvo::platform
