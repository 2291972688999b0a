// The scaled clock of test runs: READER_TIME_SCALE, read once per process,
// makes every wait of the library that many times shorter, keeps a wait for
// a device's bytes above its floor, and leaves a wait forever as it is.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "platform/clock.h"
#include "platform/platform_types.h"
#include "platform/semaphore.h"

namespace {

using namespace reader::platform;
using Clock = std::chrono::steady_clock;

// Runs `check` in a child process started with READER_TIME_SCALE set to
// `value` (unset when null): the scale is read once per process. The exit
// status is 0 when every check held, else the number of the first that
// failed (100: the child did not end by itself).
int withScale(const char *value, int (*check)()) {
  const pid_t pid = fork();
  if (pid == 0) {
    alarm(20);
    if (value != nullptr) {
      setenv("READER_TIME_SCALE", value, 1);
    } else {
      unsetenv("READER_TIME_SCALE");
    }
    _exit(check());
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

long realMsSince(Clock::time_point start) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

int tenTimesFaster() {
  if (timeScale() != 10) return 1;
  if (realWaitMs(1000) != 100 || realWaitMs(5) != 1 || realWaitMs(0) != 0) return 2;
  if (realWaitMs(kWaitForever) != kWaitForever || realDeviceWaitMs(kWaitForever) != kWaitForever) return 3;
  // A device wait is scaled down to 25 ms and no further; a shorter one is
  // left as it is.
  if (realDeviceWaitMs(1000) != 100 || realDeviceWaitMs(100) != 25 || realDeviceWaitMs(20) != 20 ||
      realDeviceWaitMs(0) != 0)
    return 4;
  // The clock and the pauses agree: a 2 s pause takes a fifth of a second of
  // real time, and the clock counts 2 s over it.
  const auto start = Clock::now();
  const std::uint64_t before = monotonicMs();
  sleepMs(2000);
  const std::uint64_t counted = monotonicMs() - before;
  const long real = realMsSince(start);
  if (counted < 2000 || real < 200 || real > 1500) return 5;
  Semaphore never(0, 1);
  const auto waiting = Clock::now();
  if (never.wait(3000) != WaitResult::TimedOut || realMsSince(waiting) > 2000) return 6;
  return 0;
}

int realTime() {
  if (timeScale() != 1) return 1;
  if (realWaitMs(1000) != 1000 || realDeviceWaitMs(1000) != 1000) return 2;
  return 0;
}

TEST(TimeScale, ATestRunsWaitsAreShortenedInProportionAndDeviceWaitsKeepTheirFloor) {
  EXPECT_EQ(withScale("10", tenTimesFaster), 0);
}

TEST(TimeScale, UnsetOrNotAScaleIsRealTime) {
  for (const char *value : {static_cast<const char *>(nullptr), "", "1", "0", "abc", "10x", "-10", "1001"})
    EXPECT_EQ(withScale(value, realTime), 0) << (value != nullptr ? value : "(unset)");
}

}  // namespace
