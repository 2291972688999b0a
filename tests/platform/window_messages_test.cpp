// Registered messages, windows, post/send/dispatch, broadcast and the
// trigger keys of the host API.
//
// The window system is process-wide. So that the tests also pass when the
// binary runs them all in one process (CTest runs each in its own), every
// test owns its windows on a fresh thread (its own message queue), counts
// only calls to its own windows, and the tests that shut the window system
// down run in a re-executed child process.
#include "platform/window_messages.h"

#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "3100XE_DLL.h"
#include "platform/platform_test_support.h"
#include "platform/semaphore.h"

namespace {

using platform_test::Clock;
using platform_test::elapsedMs;
using platform_test::kPromptMs;
using reader::platform::createWindow;
using reader::platform::kBroadcastWindow;
using reader::platform::kWaitForever;
using reader::platform::postMessage;
using reader::platform::registerWindowClass;
using reader::platform::registerWindowMessage;
using reader::platform::Semaphore;
using reader::platform::sendMessage;
using reader::platform::WaitResult;
using reader::platform::WindowHandle;

pid_t currentTid() { return static_cast<pid_t>(::syscall(SYS_gettid)); }

void onFreshThread(const std::function<void()> &body) {
  std::thread thread(body);
  thread.join();
}

// Waits until the thread that stores its id in `tid` sleeps in the kernel.
void waitUntilBlocked(const std::atomic<pid_t> &tid) {
  while (tid == 0) std::this_thread::yield();
  EXPECT_TRUE(platform_test::waitUntilBlocked(tid));
}

struct Call {
  WindowHandle window;
  std::uint32_t message;
  std::uintptr_t wParam;
  std::intptr_t lParam;
  std::thread::id thread;
};

// What the procedures saw (procedures are plain function pointers).
std::mutex gCallsMutex;
std::vector<Call> gCalls;

std::vector<Call> callsTo(WindowHandle window) {
  std::lock_guard lock(gCallsMutex);
  std::vector<Call> out;
  for (const Call &call : gCalls) {
    if (call.window == window) out.push_back(call);
  }
  return out;
}

std::intptr_t recordingProcedure(WindowHandle window, std::uint32_t message,
                                 std::uintptr_t wParam, std::intptr_t lParam) {
  std::lock_guard lock(gCallsMutex);
  gCalls.push_back({window, message, wParam, lParam, std::this_thread::get_id()});
  return static_cast<std::intptr_t>(wParam) * 10 + lParam;
}

// Registers the class (names are unique per test) and creates a window of it
// owned by the calling thread.
WindowHandle makeWindow(const char *className,
                        reader::platform::WindowProcedure procedure = recordingProcedure) {
  registerWindowClass(className, procedure);
  return createWindow(className);
}

struct BroadcastSeen {
  std::string name;
  long wParam;
  long lParam;
  std::thread::id thread;
};

std::mutex gBroadcastMutex;
std::vector<BroadcastSeen> gBroadcasts;

void recordBroadcast(const char *message, long wParam, long lParam, void *context) {
  std::lock_guard lock(gBroadcastMutex);
  gBroadcasts.push_back({message, wParam, lParam, std::this_thread::get_id()});
  ++*static_cast<std::atomic<int> *>(context);
}

std::vector<BroadcastSeen> broadcasts() {
  std::lock_guard lock(gBroadcastMutex);
  return gBroadcasts;
}

// Runs `body` in a fresh child process (the binary re-executed for this test
// only): for tests that shut the process-wide window system down.
#define EXPECT_IN_FRESH_PROCESS(body)                       \
  do {                                                      \
    GTEST_FLAG_SET(death_test_style, "threadsafe");         \
    EXPECT_EXIT(                                            \
        {                                                   \
          body;                                             \
          std::exit(::testing::Test::HasFailure() ? 1 : 0); \
        },                                                  \
        ::testing::ExitedWithCode(0), "");                  \
  } while (0)

class WindowMessages : public ::testing::Test {
 protected:
  void SetUp() override {
    {
      std::lock_guard lock(gCallsMutex);
      gCalls.clear();
    }
    std::lock_guard lock(gBroadcastMutex);
    gBroadcasts.clear();
  }
  void TearDown() override { ReaderHostSetBroadcastListener(nullptr, nullptr); }
  void listen() { ReaderHostSetBroadcastListener(recordBroadcast, &listenerCalls_); }

  std::atomic<int> listenerCalls_{0};
};

TEST_F(WindowMessages, RegistrationGivesStableIdentifiers) {
  std::uint32_t decode = registerWindowMessage("WM_DECODE");
  std::uint32_t decodeData = registerWindowMessage("WM_DECODEDATA");
  EXPECT_GE(decode, 0xC000u);
  EXPECT_LE(decode, 0xFFFFu);
  EXPECT_GE(decodeData, 0xC000u);
  EXPECT_NE(decode, decodeData);
  EXPECT_EQ(registerWindowMessage("WM_DECODE"), decode);
  EXPECT_EQ(registerWindowMessage("wm_decode"), decode);  // as on Windows: case ignored
  std::uint32_t fromOtherThread = 0;
  onFreshThread([&] { fromOtherThread = registerWindowMessage("WM_DECODE"); });
  EXPECT_EQ(fromOtherThread, decode);
  EXPECT_STREQ(reader::platform::windowMessageName(decode), "WM_DECODE");
  EXPECT_STREQ(reader::platform::windowMessageName(decodeData), "WM_DECODEDATA");
  EXPECT_EQ(reader::platform::windowMessageName(0x0400), nullptr);
  EXPECT_EQ(reader::platform::windowMessageName(0xFFFF), nullptr);
  EXPECT_EQ(registerWindowMessage(""), 0u);
  EXPECT_EQ(registerWindowMessage(nullptr), 0u);
}

TEST_F(WindowMessages, AClassRegistersOnce) {
  static int run = 0;  // a new name for every repetition in one process
  std::string name = "OnceOnly" + std::to_string(++run);
  std::string lower = "onceonly" + std::to_string(run);
  EXPECT_TRUE(registerWindowClass(name.c_str(), recordingProcedure));
  EXPECT_FALSE(registerWindowClass(name.c_str(), recordingProcedure));
  EXPECT_FALSE(registerWindowClass(lower.c_str(), recordingProcedure));
  EXPECT_FALSE(registerWindowClass("NoProcedure", nullptr));
  EXPECT_FALSE(registerWindowClass("", recordingProcedure));
  EXPECT_FALSE(registerWindowClass(nullptr, recordingProcedure));
}

TEST_F(WindowMessages, WindowsNeedARegisteredClass) {
  EXPECT_EQ(createWindow("NeverRegistered"), 0u);
  EXPECT_EQ(createWindow(nullptr), 0u);
  WindowHandle first = makeWindow("Twice");
  WindowHandle second = createWindow("Twice");
  EXPECT_NE(first, 0u);
  EXPECT_NE(second, 0u);
  EXPECT_NE(first, second);
  EXPECT_NE(first, kBroadcastWindow);
  EXPECT_NE(second, kBroadcastWindow);
  EXPECT_EQ(reader::platform::defaultWindowProcedure(first, 0xC000, 1, 2), 0);
}

TEST_F(WindowMessages, PostedMessagesAreDispatchedInOrderOnTheOwnerThread) {
  onFreshThread([] {
    WindowHandle window = makeWindow("Posted");
    ASSERT_NE(window, 0u);
    EXPECT_EQ(ReaderHostDispatch(0), 0);
    EXPECT_TRUE(postMessage(window, 0xC100, 1, 2));
    EXPECT_TRUE(postMessage(window, 0xC101, 3, 4));
    EXPECT_TRUE(callsTo(window).empty());  // posting returns at once
    EXPECT_EQ(ReaderHostDispatch(0), 2);
    std::vector<Call> seen = callsTo(window);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].message, 0xC100u);
    EXPECT_EQ(seen[0].wParam, 1u);
    EXPECT_EQ(seen[0].lParam, 2);
    EXPECT_EQ(seen[1].message, 0xC101u);
    EXPECT_EQ(seen[1].wParam, 3u);
    EXPECT_EQ(seen[1].lParam, 4);
    EXPECT_EQ(seen[0].thread, std::this_thread::get_id());
    EXPECT_EQ(seen[1].thread, std::this_thread::get_id());
    EXPECT_EQ(ReaderHostDispatch(0), 0);
  });
}

TEST_F(WindowMessages, PostToAnUnknownWindowFails) {
  EXPECT_FALSE(postMessage(0, 0xC000, 0, 0));
  EXPECT_FALSE(postMessage(0x12345678, 0xC000, 0, 0));
  EXPECT_EQ(sendMessage(0x12345678, 0xC000, 1, 1), 0);
  EXPECT_EQ(sendMessage(kBroadcastWindow, 0xC000, 1, 1), 0);
}

TEST_F(WindowMessages, AnotherThreadDispatchesNothingOfTheOwners) {
  onFreshThread([] {
    WindowHandle window = makeWindow("Owned");
    ASSERT_TRUE(postMessage(window, 0xC100, 0, 0));
    int dispatchedElsewhere = -1;
    onFreshThread([&] { dispatchedElsewhere = ReaderHostDispatch(10); });
    EXPECT_EQ(dispatchedElsewhere, 0);
    EXPECT_TRUE(callsTo(window).empty());
    EXPECT_EQ(ReaderHostDispatch(0), 1);
    EXPECT_EQ(callsTo(window).size(), 1u);
  });
}

TEST_F(WindowMessages, DispatchWithoutWindowsWaitsAndReturnsZero) {
  onFreshThread([] {
    auto start = Clock::now();
    EXPECT_EQ(ReaderHostDispatch(20), 0);
    EXPECT_GE(elapsedMs(start), 20.0);
    EXPECT_EQ(ReaderHostDispatch(0), 0);
  });
}

TEST_F(WindowMessages, DispatchWaitsForAMessagePostedFromAnotherThread) {
  onFreshThread([] {
    WindowHandle window = makeWindow("Waiting");
    std::thread poster([&] { postMessage(window, 0xC200, 5, 6); });
    EXPECT_EQ(ReaderHostDispatch(-1), 1);
    poster.join();
    ASSERT_EQ(callsTo(window).size(), 1u);
    EXPECT_EQ(callsTo(window)[0].message, 0xC200u);
  });
}

TEST_F(WindowMessages, DispatchTimesOutNoEarlierThanItsTimeout) {
  onFreshThread([] {
    makeWindow("Quiet");
    for (int timeoutMs : {1, 25}) {
      auto start = Clock::now();
      EXPECT_EQ(ReaderHostDispatch(timeoutMs), 0);
      EXPECT_GE(elapsedMs(start), static_cast<double>(timeoutMs));
    }
  });
}

std::intptr_t repostingProcedure(WindowHandle window, std::uint32_t message, std::uintptr_t,
                                 std::intptr_t) {
  postMessage(window, message, 0, 0);
  return 0;
}

TEST_F(WindowMessages, AMessagePostedDuringDispatchWaitsForTheNextCall) {
  onFreshThread([] {
    WindowHandle window = makeWindow("Reposting", repostingProcedure);
    ASSERT_TRUE(postMessage(window, 0xC300, 0, 0));
    EXPECT_EQ(ReaderHostDispatch(0), 1);
    EXPECT_EQ(ReaderHostDispatch(0), 1);
  });
}

TEST_F(WindowMessages, AFullQueueRefusesPosts) {
  onFreshThread([] {
    WindowHandle window = makeWindow("Full");
    int accepted = 0;
    while (accepted < 20000 && postMessage(window, 0xC000, 0, 0)) ++accepted;
    EXPECT_EQ(accepted, 10000);
    EXPECT_EQ(ReaderHostDispatch(0), 10000);
    EXPECT_TRUE(postMessage(window, 0xC000, 0, 0));
    EXPECT_EQ(ReaderHostDispatch(0), 1);
  });
}

TEST_F(WindowMessages, SendFromTheOwnerThreadCallsTheProcedureDirectly) {
  onFreshThread([] {
    WindowHandle window = makeWindow("Direct");
    EXPECT_EQ(sendMessage(window, 0xC400, 4, 2), 42);
    ASSERT_EQ(callsTo(window).size(), 1u);
    EXPECT_EQ(callsTo(window)[0].thread, std::this_thread::get_id());
    EXPECT_EQ(ReaderHostDispatch(0), 0);
  });
}

TEST_F(WindowMessages, SendFromAnotherThreadBlocksUntilDispatchedAndReturnsTheResult) {
  onFreshThread([] {
    WindowHandle window = makeWindow("Sent");
    std::atomic<pid_t> tid{0};
    std::atomic<bool> returned{false};
    std::size_t callsWhenReturned = 99;
    std::intptr_t result = 0;
    std::thread sender([&] {
      tid = currentTid();
      result = sendMessage(window, 0xC500, 7, 3);
      callsWhenReturned = callsTo(window).size();
      returned = true;
    });
    waitUntilBlocked(tid);
    EXPECT_FALSE(returned);  // nobody has dispatched yet
    EXPECT_EQ(ReaderHostDispatch(-1), 1);
    sender.join();
    EXPECT_EQ(callsWhenReturned, 1u);
    EXPECT_EQ(result, 73);
    std::vector<Call> seen = callsTo(window);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].thread, std::this_thread::get_id());
    EXPECT_EQ(seen[0].message, 0xC500u);
  });
}

TEST_F(WindowMessages, SentMessagesGoBeforePostedOnes) {
  onFreshThread([] {
    WindowHandle window = makeWindow("SentFirst");
    ASSERT_TRUE(postMessage(window, 0xC101, 0, 0));
    std::atomic<pid_t> tid{0};
    std::thread sender([&] {
      tid = currentTid();
      sendMessage(window, 0xC102, 0, 0);
    });
    waitUntilBlocked(tid);
    EXPECT_EQ(ReaderHostDispatch(0), 2);
    sender.join();
    std::vector<Call> seen = callsTo(window);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].message, 0xC102u);
    EXPECT_EQ(seen[1].message, 0xC101u);
  });
}

// Window B's procedure sends to window A while A's owner is itself blocked
// sending to B: a blocked sender still runs the messages sent to it.
std::atomic<WindowHandle> gWindowA{0};
std::intptr_t sendsBackProcedure(WindowHandle, std::uint32_t, std::uintptr_t, std::intptr_t) {
  return sendMessage(gWindowA, 0xC700, 2, 0) + 1;
}

TEST_F(WindowMessages, TwoThreadsSendingToEachOtherDoNotDeadlock) {
  onFreshThread([] {
    gWindowA = makeWindow("WindowA");
    Semaphore bReady(0, 1);
    std::atomic<WindowHandle> windowB{0};
    std::atomic<bool> stop{false};
    std::thread owner([&] {
      windowB = makeWindow("WindowB", sendsBackProcedure);
      bReady.release();
      while (!stop) ReaderHostDispatch(10);
    });
    ASSERT_EQ(bReady.wait(10000), WaitResult::Signaled);
    EXPECT_EQ(sendMessage(windowB, 0xC701, 0, 0), 21);  // A's answer (20) + 1
    stop = true;
    owner.join();
    std::vector<Call> seen = callsTo(gWindowA);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].thread, std::this_thread::get_id());
  });
}

TEST_F(WindowMessages, BroadcastReachesTheListenerAndEveryWindow) {
  listen();
  Semaphore firstReady(0, 1);
  Semaphore firstGo(0, 1);
  std::atomic<WindowHandle> first{0};
  std::atomic<WindowHandle> second{0};
  std::atomic<int> firstDispatched{-1};
  std::thread firstOwner([&] {  // owns two windows
    first = makeWindow("BroadcastOne");
    second = makeWindow("BroadcastTwo");
    firstReady.release();
    firstGo.wait(kWaitForever);
    firstDispatched = ReaderHostDispatch(0);
  });
  ASSERT_EQ(firstReady.wait(10000), WaitResult::Signaled);

  onFreshThread([&] {
    WindowHandle third = makeWindow("BroadcastThree");
    std::uint32_t decodeData = registerWindowMessage("WM_DECODEDATA");
    EXPECT_TRUE(postMessage(kBroadcastWindow, decodeData, 7, 0));
    // The listener ran on this thread before the post returned.
    ASSERT_EQ(listenerCalls_, 1);
    std::vector<BroadcastSeen> seen = broadcasts();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].name, "WM_DECODEDATA");
    EXPECT_EQ(seen[0].wParam, 7);
    EXPECT_EQ(seen[0].lParam, 0);
    EXPECT_EQ(seen[0].thread, std::this_thread::get_id());

    EXPECT_EQ(ReaderHostDispatch(0), 1);
    firstGo.release();
    firstOwner.join();
    EXPECT_EQ(firstDispatched, 2);
    for (WindowHandle window : {first.load(), second.load(), third}) {
      std::vector<Call> delivered = callsTo(window);
      ASSERT_EQ(delivered.size(), 1u) << window;
      EXPECT_EQ(delivered[0].message, decodeData);
      EXPECT_EQ(delivered[0].wParam, 7u);
      EXPECT_EQ(delivered[0].lParam, 0);
    }
  });
  if (firstOwner.joinable()) {  // an assertion above returned early
    firstGo.release();
    firstOwner.join();
  }
}

TEST_F(WindowMessages, BroadcastOfAnUnregisteredMessageSkipsTheListener) {
  listen();
  onFreshThread([&] {
    WindowHandle window = makeWindow("Unnamed");
    EXPECT_TRUE(postMessage(kBroadcastWindow, 0x0401, 1, 1));
    EXPECT_EQ(listenerCalls_, 0);
    EXPECT_EQ(ReaderHostDispatch(0), 1);
    ASSERT_EQ(callsTo(window).size(), 1u);
    EXPECT_EQ(callsTo(window)[0].message, 0x0401u);
  });
}

TEST_F(WindowMessages, TriggerKeysPostTheirMessagesToAllWindows) {
  listen();
  onFreshThread([&] {
    WindowHandle window = makeWindow("ReaderDllLike");
    EXPECT_EQ(ReaderHostTriggerKey(1, 1), 1);
    EXPECT_EQ(ReaderHostTriggerKey(1, 0), 1);
    EXPECT_EQ(ReaderHostTriggerKey(2, 5), 1);  // any nonzero is "pressed"
    EXPECT_EQ(ReaderHostTriggerKey(2, 0), 1);
    EXPECT_EQ(ReaderHostTriggerKey(3, 1), 0);
    EXPECT_EQ(ReaderHostTriggerKey(0, 1), 0);
    EXPECT_EQ(ReaderHostTriggerKey(-1, 0), 0);

    const char *names[] = {"WM_USER1DOWN", "WM_USER1UP", "WM_USER2DOWN", "WM_USER2UP"};
    std::vector<BroadcastSeen> seen = broadcasts();
    ASSERT_EQ(seen.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
      EXPECT_EQ(seen[i].name, names[i]);
      EXPECT_EQ(seen[i].wParam, 0);
      EXPECT_EQ(seen[i].lParam, 0);
    }

    EXPECT_EQ(ReaderHostDispatch(0), 4);
    std::vector<Call> delivered = callsTo(window);
    ASSERT_EQ(delivered.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
      EXPECT_EQ(delivered[i].message, registerWindowMessage(names[i])) << names[i];
    }
  });
}

TEST_F(WindowMessages, ShutdownUnblocksABlockedSender) {
  EXPECT_IN_FRESH_PROCESS({
    Semaphore ready(0, 1);
    std::atomic<WindowHandle> window{0};
    std::atomic<bool> stop{false};
    std::thread owner([&] {  // owns the window but never dispatches
      window = makeWindow("ShutDown");
      ready.release();
      while (!stop) std::this_thread::yield();
    });
    ready.wait(kWaitForever);
    std::atomic<pid_t> tid{0};
    std::intptr_t result = 99;
    double elapsed = 0;
    std::thread sender([&] {
      tid = currentTid();
      auto start = Clock::now();
      result = sendMessage(window, 0xC600, 1, 2);
      elapsed = elapsedMs(start);
    });
    waitUntilBlocked(tid);
    reader::platform::shutdownWindows();
    sender.join();
    EXPECT_EQ(result, 0);
    EXPECT_LT(elapsed, kPromptMs);
    stop = true;
    owner.join();
    EXPECT_TRUE(callsTo(window).empty());

    // Later: sends return 0 at once, posts are dropped, nothing is dispatched.
    EXPECT_EQ(sendMessage(window, 0xC600, 1, 2), 0);
    EXPECT_FALSE(postMessage(window, 0xC600, 1, 2));
    EXPECT_FALSE(postMessage(kBroadcastWindow, 0xC600, 1, 2));
    EXPECT_EQ(createWindow("ShutDown"), 0u);
    EXPECT_TRUE(callsTo(window).empty());
  });
}

TEST_F(WindowMessages, ShutdownDropsPostedMessagesAndWakesADispatcher) {
  EXPECT_IN_FRESH_PROCESS({
    WindowHandle window = makeWindow("Dispatcher");
    EXPECT_TRUE(postMessage(window, 0xC800, 0, 0));
    std::atomic<pid_t> tid{0};
    std::atomic<int> result{99};
    std::thread dispatcher([&] {  // no windows of its own: waits without limit
      tid = currentTid();
      result = ReaderHostDispatch(-1);
    });
    waitUntilBlocked(tid);
    reader::platform::shutdownWindows();
    dispatcher.join();
    EXPECT_EQ(result, 0);
    auto start = Clock::now();
    EXPECT_EQ(ReaderHostDispatch(-1), 0);  // at once, and the post was dropped
    EXPECT_LT(elapsedMs(start), kPromptMs);
    EXPECT_TRUE(callsTo(window).empty());
  });
}

}  // namespace
