// Time on POSIX: CLOCK_MONOTONIC for measurements and sleeps.
#include "platform/clock.h"

#include <cerrno>
#include <ctime>

namespace reader::platform {

void sleepMs(std::uint32_t ms) {
  ms = realWaitMs(ms);
  // An absolute deadline on the monotonic clock: signals (EINTR) and early
  // wake-ups cannot shorten the sleep, and a changed wall clock cannot
  // lengthen it.
  timespec deadline{};
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  deadline.tv_sec += static_cast<time_t>(ms / 1000u);
  deadline.tv_nsec += static_cast<long>(ms % 1000u) * 1000000L;
  if (deadline.tv_nsec >= 1000000000L) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000000000L;
  }
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
  }
}

std::uint64_t monotonicMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const std::uint64_t ms =
      static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
  return ms * timeScale();
}

}  // namespace reader::platform
