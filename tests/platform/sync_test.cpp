// Semaphores, threads and named auto-reset events (directly and through
// ReaderHostWaitEvent).
#include <gtest/gtest.h>

#include <atomic>

#include "3100XE_DLL.h"
#include "platform/named_event.h"
#include "platform/platform_test_support.h"
#include "platform/semaphore.h"
#include "platform/thread.h"

namespace {

using namespace platform_test;
using namespace reader::platform;

TEST(Semaphore, HoldsOneReleaseAtMostAndTimesOutNoEarlierThanItsTimeout) {
  Semaphore lock(1, 1);          // created free
  EXPECT_FALSE(lock.release());  // beyond the maximum: refused, still one
  EXPECT_EQ(lock.wait(0), WaitResult::Signaled);
  for (std::uint32_t timeoutMs : {0u, 1u, 10u, 40u}) {
    auto start = Clock::now();
    EXPECT_EQ(lock.wait(timeoutMs), WaitResult::TimedOut);
    double elapsed = elapsedMs(start);
    EXPECT_GE(elapsed, static_cast<double>(timeoutMs));
    EXPECT_LT(elapsed, timeoutMs + kPromptMs);
  }
  EXPECT_TRUE(lock.release());
  EXPECT_EQ(lock.wait(kWaitForever), WaitResult::Signaled);
}

TEST(Semaphore, WaiterWithoutLimitIsReleasedByAnotherThread) {
  Semaphore request(0, 1);
  Semaphore reply(0, 1);
  auto worker = Thread::start([&] {
    for (int i = 0; i < 100; ++i) {
      ASSERT_EQ(request.wait(kWaitForever), WaitResult::Signaled);
      reply.release();
    }
  });
  ASSERT_NE(worker, nullptr);
  for (int i = 0; i < 100; ++i) {
    request.release();
    ASSERT_EQ(reply.wait(10000), WaitResult::Signaled);
  }
  worker->join();
}

TEST(Semaphore, AReleaseGoesToTheThreadThatWaitedFirst) {
  Semaphore lock(0, 1);  // held by this thread
  std::atomic<int> order{0};
  int firstGot = 0, secondGot = 0;
  BlockingCall first([&] {
    ASSERT_EQ(lock.wait(kWaitForever), WaitResult::Signaled);
    firstGot = ++order;
  });
  ASSERT_TRUE(first.blocked());
  BlockingCall second([&] {
    ASSERT_EQ(lock.wait(60000), WaitResult::Signaled);
    secondGot = ++order;
  });
  ASSERT_TRUE(second.blocked());
  // The holder lets go and at once tries to take the lock back: a waiter is
  // due first, however quickly the holder comes back.
  lock.release();
  EXPECT_EQ(lock.wait(0), WaitResult::TimedOut);
  first.finish();
  lock.release();
  second.finish();
  EXPECT_EQ(firstGot, 1);
  EXPECT_EQ(secondGot, 2);
}

TEST(NamedEvent, AutoResetsAndTimesOutNoEarlierThanItsTimeout) {
  auto event = NamedEvent::create("DecodeEventRFID");
  ASSERT_NE(event, nullptr);
  EXPECT_EQ(ReaderHostWaitEvent("DecodeEventRFID", 0), 0);  // created not signalled
  EXPECT_TRUE(event->set());
  EXPECT_TRUE(event->set());  // setting a signalled event changes nothing
  EXPECT_EQ(ReaderHostWaitEvent("DecodeEventRFID", 0), 1);
  auto start = Clock::now();
  EXPECT_EQ(ReaderHostWaitEvent("DecodeEventRFID", 30), 0);
  EXPECT_GE(elapsedMs(start), 30.0);
}

TEST(NamedEvent, UnknownNamesGiveMinusOne) {
  EXPECT_EQ(ReaderHostWaitEvent("NoSuchEvent", 1000), -1);
  EXPECT_EQ(ReaderHostWaitEvent(nullptr, 0), -1);
  EXPECT_EQ(NamedEvent::create(""), nullptr);
  auto first = NamedEvent::create("Shared");
  auto second = NamedEvent::create("Shared");
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(ReaderHostWaitEvent("shared", 0), -1);  // names are case-sensitive
  EXPECT_TRUE(second->set());                       // one event under two objects
  first.reset();
  EXPECT_EQ(ReaderHostWaitEvent("Shared", 0), 1);
  second.reset();  // the last object for the name
  EXPECT_EQ(ReaderHostWaitEvent("Shared", 0), -1);
}

TEST(NamedEvent, WaitingThreadIsSignalledFromAnother) {
  auto event = NamedEvent::create("DecodeEventBC");
  ASSERT_NE(event, nullptr);
  std::atomic<int> result{99};
  platform_test::BlockingCall waiter([&] { result = ReaderHostWaitEvent("DecodeEventBC", -1); });
  EXPECT_TRUE(waiter.blocked());
  EXPECT_TRUE(event->set());
  waiter.finish();
  EXPECT_EQ(result, 1);
  EXPECT_EQ(ReaderHostWaitEvent("DecodeEventBC", 0), 0);  // the wait took the signal
}

}  // namespace
