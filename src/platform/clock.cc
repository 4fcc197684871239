#include "platform/clock.h"

#include <time.h>

#include <cerrno>

namespace brelvo::platform {

void sleep_for(std::chrono::nanoseconds duration) {
  if (duration <= std::chrono::nanoseconds::zero()) return;
  timespec deadline{};
  ::clock_gettime(CLOCK_MONOTONIC, &deadline);
  constexpr long kNanosPerSecond = 1'000'000'000;
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration);
  deadline.tv_sec += static_cast<time_t>(seconds.count());
  deadline.tv_nsec += static_cast<long>((duration - seconds).count());
  if (deadline.tv_nsec >= kNanosPerSecond) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= kNanosPerSecond;
  }
  // An absolute deadline, so that an interrupted sleep resumes where it was.
  while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
  }
}

}  // namespace brelvo::platform
