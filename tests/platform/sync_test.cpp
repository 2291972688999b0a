// Semaphores, threads and the clock.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "platform/clock.h"
#include "platform/platform_test_support.h"
#include "platform/semaphore.h"
#include "platform/thread.h"

namespace {

using platform_test::Clock;
using platform_test::elapsedMs;
using platform_test::kPromptMs;
using reader::platform::kWaitForever;
using reader::platform::Semaphore;
using reader::platform::Thread;
using reader::platform::WaitResult;

TEST(Semaphore, ReleasesBeyondTheMaximumCountAsOne) {
  Semaphore semaphore(0, 1);
  EXPECT_TRUE(semaphore.release());
  EXPECT_FALSE(semaphore.release());
  EXPECT_FALSE(semaphore.release());
  EXPECT_EQ(semaphore.wait(0), WaitResult::Signaled);
  EXPECT_EQ(semaphore.wait(0), WaitResult::TimedOut);
}

TEST(Semaphore, CountsUpToItsMaximum) {
  Semaphore semaphore(1, 3);
  EXPECT_TRUE(semaphore.release());
  EXPECT_TRUE(semaphore.release());
  EXPECT_FALSE(semaphore.release());
  for (int i = 0; i < 3; ++i) EXPECT_EQ(semaphore.wait(0), WaitResult::Signaled);
  EXPECT_EQ(semaphore.wait(0), WaitResult::TimedOut);
}

TEST(Semaphore, CreatedFreeCanBeTakenOnce) {
  Semaphore portLock(1, 1);
  EXPECT_EQ(portLock.wait(0), WaitResult::Signaled);
  EXPECT_EQ(portLock.wait(0), WaitResult::TimedOut);
  EXPECT_TRUE(portLock.release());
  EXPECT_EQ(portLock.wait(kWaitForever), WaitResult::Signaled);
}

TEST(Semaphore, WaitTimesOutNoEarlierThanItsTimeout) {
  Semaphore semaphore(0, 1);
  for (std::uint32_t timeoutMs : {1u, 10u, 40u}) {
    auto start = Clock::now();
    EXPECT_EQ(semaphore.wait(timeoutMs), WaitResult::TimedOut);
    double elapsed = elapsedMs(start);
    EXPECT_GE(elapsed, static_cast<double>(timeoutMs));
    EXPECT_LT(elapsed, timeoutMs + kPromptMs);
  }
}

TEST(Semaphore, WaiterWithoutLimitIsReleasedByAnotherThread) {
  Semaphore request(0, 1);
  Semaphore reply(0, 1);
  std::thread worker([&] {
    for (int i = 0; i < 100; ++i) {
      ASSERT_EQ(request.wait(kWaitForever), WaitResult::Signaled);
      reply.release();
    }
  });
  for (int i = 0; i < 100; ++i) {
    request.release();
    ASSERT_EQ(reply.wait(10000), WaitResult::Signaled);
  }
  worker.join();
}

TEST(Thread, RunsItsBodyAndJoins) {
  std::atomic<int> runs{0};
  std::unique_ptr<Thread> thread = Thread::start([&] { ++runs; });
  ASSERT_NE(thread, nullptr);
  thread->join();
  EXPECT_EQ(runs, 1);
  thread->join();  // idempotent
  EXPECT_EQ(runs, 1);
}

TEST(Thread, DestructionWaitsForTheBody) {
  Semaphore started(0, 1);
  std::atomic<bool> finished{false};
  std::unique_ptr<Thread> thread = Thread::start([&] {
    started.release();
    reader::platform::sleepMs(30);
    finished = true;
  });
  ASSERT_NE(thread, nullptr);
  ASSERT_EQ(started.wait(10000), WaitResult::Signaled);
  thread.reset();
  EXPECT_TRUE(finished);
}

TEST(Thread, RunsOnAnotherThread) {
  std::thread::id bodyThread;
  auto thread = Thread::start([&] { bodyThread = std::this_thread::get_id(); });
  ASSERT_NE(thread, nullptr);
  thread->join();
  EXPECT_NE(bodyThread, std::this_thread::get_id());
}

TEST(Thread, AnExceptionEndsOnlyTheThread) {
  auto thread = Thread::start([] { throw std::runtime_error("body failed"); });
  ASSERT_NE(thread, nullptr);
  thread->join();
}

TEST(Thread, EmptyBodyIsRefused) { EXPECT_EQ(Thread::start(std::function<void()>()), nullptr); }

TEST(Clock, SleepLastsAtLeastItsTime) {
  for (std::uint32_t ms : {0u, 1u, 15u}) {
    auto start = Clock::now();
    std::uint64_t before = reader::platform::monotonicMs();
    reader::platform::sleepMs(ms);
    EXPECT_GE(elapsedMs(start), static_cast<double>(ms));
    EXPECT_GE(reader::platform::monotonicMs() - before, ms);
  }
}

TEST(Clock, MonotonicMillisecondsFollowTheSteadyClock) {
  std::uint64_t first = reader::platform::monotonicMs();
  auto start = Clock::now();
  reader::platform::sleepMs(20);
  std::uint64_t second = reader::platform::monotonicMs();
  EXPECT_GE(second, first + 19);  // both ends truncated to whole milliseconds
  EXPECT_LE(static_cast<double>(second - first), elapsedMs(start) + 1.0);
}

}  // namespace
