// Named auto-reset events, directly and through ReaderHostWaitEvent.
#include "platform/named_event.h"

#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "3100XE_DLL.h"
#include "platform/platform_test_support.h"

namespace {

using platform_test::Clock;
using platform_test::elapsedMs;
using platform_test::kPromptMs;
using reader::platform::NamedEvent;
using reader::platform::waitNamedEvent;
using reader::platform::WaitResult;

TEST(NamedEvent, IsCreatedNotSignalled) {
  auto event = NamedEvent::create("DecodeEventBC");
  ASSERT_NE(event, nullptr);
  EXPECT_EQ(ReaderHostWaitEvent("DecodeEventBC", 0), 0);
}

TEST(NamedEvent, AWaitTakesTheSignalAndResetsIt) {
  auto event = NamedEvent::create("DecodeEventRFID");
  ASSERT_NE(event, nullptr);
  EXPECT_TRUE(event->set());
  EXPECT_TRUE(event->set());  // setting a signalled event changes nothing
  EXPECT_EQ(ReaderHostWaitEvent("DecodeEventRFID", 0), 1);
  EXPECT_EQ(ReaderHostWaitEvent("DecodeEventRFID", 0), 0);
}

TEST(NamedEvent, UnknownNameGivesMinusOne) {
  EXPECT_EQ(ReaderHostWaitEvent("NoSuchEvent", 0), -1);
  EXPECT_EQ(ReaderHostWaitEvent("NoSuchEvent", 1000), -1);
  EXPECT_EQ(ReaderHostWaitEvent(nullptr, 0), -1);
  bool exists = true;
  EXPECT_EQ(waitNamedEvent("NoSuchEvent", 0, exists), WaitResult::Failed);
  EXPECT_FALSE(exists);
}

TEST(NamedEvent, NamesAreCaseSensitive) {
  auto event = NamedEvent::create("DecodeEventBC");
  ASSERT_NE(event, nullptr);
  EXPECT_EQ(ReaderHostWaitEvent("decodeeventbc", 0), -1);
}

TEST(NamedEvent, EmptyOrNullNameIsRefused) {
  EXPECT_EQ(NamedEvent::create(nullptr), nullptr);
  EXPECT_EQ(NamedEvent::create(""), nullptr);
}

TEST(NamedEvent, WaitTimesOutNoEarlierThanItsTimeout) {
  auto event = NamedEvent::create("E");
  ASSERT_NE(event, nullptr);
  auto start = Clock::now();
  EXPECT_EQ(ReaderHostWaitEvent("E", 30), 0);
  EXPECT_GE(elapsedMs(start), 30.0);
  bool exists = false;
  start = Clock::now();
  EXPECT_EQ(waitNamedEvent("E", 5, exists), WaitResult::TimedOut);
  EXPECT_TRUE(exists);
  EXPECT_GE(elapsedMs(start), 5.0);
}

TEST(NamedEvent, ExistsWhileAnyObjectForTheNameExists) {
  auto first = NamedEvent::create("Shared");
  auto second = NamedEvent::create("Shared");
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(second->set());  // one event under two objects
  first.reset();
  EXPECT_EQ(ReaderHostWaitEvent("Shared", 0), 1);
  second.reset();
  EXPECT_EQ(ReaderHostWaitEvent("Shared", 0), -1);
  // Created anew: a new event, not signalled.
  auto third = NamedEvent::create("Shared");
  EXPECT_EQ(ReaderHostWaitEvent("Shared", 0), 0);
}

TEST(NamedEvent, WaitingThreadIsSignalledFromAnother) {
  auto event = NamedEvent::create("DecodeEventBC");
  ASSERT_NE(event, nullptr);
  std::atomic<int> result{99};
  std::thread waiter([&] { result = ReaderHostWaitEvent("DecodeEventBC", -1); });
  event->set();
  waiter.join();
  EXPECT_EQ(result, 1);
  EXPECT_EQ(ReaderHostWaitEvent("DecodeEventBC", 0), 0);
}

TEST(NamedEvent, OneSignalWakesOneOfTwoWaiters) {
  auto event = NamedEvent::create("Once");
  ASSERT_NE(event, nullptr);
  std::atomic<int> signalled{0};
  std::atomic<int> timedOut{0};
  auto wait = [&] {
    int result = ReaderHostWaitEvent("Once", 300);
    if (result == 1) ++signalled;
    if (result == 0) ++timedOut;
  };
  std::thread a(wait);
  std::thread b(wait);
  event->set();
  a.join();
  b.join();
  EXPECT_EQ(signalled, 1);
  EXPECT_EQ(timedOut, 1);
}

TEST(NamedEvent, ClosingTheLastObjectDuringAWaitFailsTheWaitPromptly) {
  auto event = NamedEvent::create("Closing");
  ASSERT_NE(event, nullptr);
  std::atomic<pid_t> tid{0};
  std::atomic<int> result{99};
  double elapsed = 0;
  std::thread waiter([&] {
    tid = static_cast<pid_t>(::syscall(SYS_gettid));
    auto start = Clock::now();
    result = ReaderHostWaitEvent("Closing", 60000);
    elapsed = elapsedMs(start);
  });
  while (tid == 0) std::this_thread::yield();
  EXPECT_TRUE(platform_test::waitUntilBlocked(tid));
  event.reset();
  waiter.join();
  EXPECT_EQ(result, -1);
  EXPECT_LT(elapsed, kPromptMs);
}

}  // namespace
