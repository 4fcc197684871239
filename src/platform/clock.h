// Sleeping on the monotonic clock: a change of the wall clock neither
// shortens nor stretches a wait.
#pragma once

#include <chrono>

namespace brelvo::platform {

// Sleeps the whole duration, resuming after signals.
void sleep_for(std::chrono::nanoseconds duration);

}  // namespace brelvo::platform
