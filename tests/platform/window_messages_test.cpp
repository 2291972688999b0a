// Windows, post/send/dispatch, broadcast and the trigger keys of the host API.
//
// The window system is process-wide. So that the tests also pass when the
// binary runs them all in one process, every test owns its windows on a
// fresh thread (its own message queue), counts only calls to its own
// windows, and the test that shuts the window system down runs in a
// re-executed child process.
#include "platform/window_messages.h"

#include <gtest/gtest.h>

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

using namespace reader::platform;
using platform_test::BlockingCall;
using platform_test::kPromptMs;

void onFreshThread(const std::function<void()> &body) { std::thread(body).join(); }

// What the window procedures (window != 0) and the broadcast listener
// (window 0, with the message's name) saw.
struct Call {
  WindowHandle window;
  std::uint32_t message;
  std::uintptr_t wParam;
  std::intptr_t lParam;
  std::thread::id thread;
  std::string name;
};
std::mutex gMutex;
std::vector<Call> gCalls;

std::vector<Call> callsTo(WindowHandle window) {
  std::lock_guard lock(gMutex);
  std::vector<Call> out;
  for (const Call &call : gCalls) {
    if (call.window == window) out.push_back(call);
  }
  return out;
}

std::intptr_t recordingProcedure(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                 std::intptr_t lParam) {
  std::lock_guard lock(gMutex);
  gCalls.push_back({window, message, wParam, lParam, std::this_thread::get_id(), {}});
  return static_cast<std::intptr_t>(wParam) * 10 + lParam;
}

void recordBroadcast(const char *message, long wParam, long lParam, void *) {
  std::lock_guard lock(gMutex);
  gCalls.push_back({0, 0, static_cast<std::uintptr_t>(wParam), lParam, std::this_thread::get_id(), message});
}

// A window of class `className` (names are unique per test) owned by the
// calling thread.
WindowHandle makeWindow(const char *className) {
  registerWindowClass(className, recordingProcedure);
  return createWindow(className);
}

class WindowMessages : public ::testing::Test {
 protected:
  void SetUp() override {
    std::lock_guard lock(gMutex);
    gCalls.clear();
  }
  void TearDown() override { ReaderHostSetBroadcastListener(nullptr, nullptr); }
};

TEST_F(WindowMessages, PostedMessagesAreDispatchedInOrderOnTheOwnerThreadOnly) {
  EXPECT_FALSE(postMessage(0x12345678, 0xC000, 0, 0));  // no such window
  onFreshThread([] {
    WindowHandle window = makeWindow("Posted");
    ASSERT_NE(window, 0u);
    EXPECT_TRUE(postMessage(window, 0xC100, 1, 2));
    EXPECT_TRUE(postMessage(window, 0xC101, 3, 4));
    EXPECT_TRUE(callsTo(window).empty());  // posting returns at once
    int dispatchedElsewhere = -1;
    onFreshThread([&] { dispatchedElsewhere = ReaderHostDispatch(10); });
    EXPECT_EQ(dispatchedElsewhere, 0);
    EXPECT_EQ(ReaderHostDispatch(0), 2);
    std::vector<Call> seen = callsTo(window);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].message, 0xC100u);
    EXPECT_EQ(seen[0].wParam, 1u);
    EXPECT_EQ(seen[0].lParam, 2);
    EXPECT_EQ(seen[1].message, 0xC101u);
    for (const Call &call : seen) EXPECT_EQ(call.thread, std::this_thread::get_id());
    EXPECT_EQ(ReaderHostDispatch(0), 0);
  });
}

TEST_F(WindowMessages, SendFromAnotherThreadBlocksUntilDispatchedAndReturnsTheResult) {
  onFreshThread([] {
    WindowHandle window = makeWindow("Sent");
    std::intptr_t result = 0;
    std::size_t callsWhenReturned = 99;
    BlockingCall sender([&] {
      result = sendMessage(window, 0xC500, 7, 3);
      callsWhenReturned = callsTo(window).size();
    });
    EXPECT_TRUE(sender.blocked());
    EXPECT_TRUE(callsTo(window).empty());
    EXPECT_EQ(ReaderHostDispatch(-1), 1);
    sender.finish();
    EXPECT_EQ(callsWhenReturned, 1u);
    EXPECT_EQ(result, 73);
    EXPECT_EQ(callsTo(window).at(0).thread, std::this_thread::get_id());
  });
}

TEST_F(WindowMessages, AnAbandonedSendIsTakenBackBeforeItRuns) {
  onFreshThread([] {
    WindowHandle window = makeWindow("Abandoned");
    std::atomic<bool> giveUp{false};
    std::intptr_t result = -1;
    BlockingCall sender([&] { result = sendMessage(window, 0xC501, 2, 1, [&] { return giveUp.load(); }); });
    EXPECT_TRUE(sender.blocked());
    giveUp = true;  // the owner has not dispatched it: the sender returns
    sender.finish();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReaderHostDispatch(0), 0);  // and the message is gone
    EXPECT_TRUE(callsTo(window).empty());
    // Not given up, a send is handled as ever.
    BlockingCall kept([&] { result = sendMessage(window, 0xC502, 4, 2, [] { return false; }); });
    EXPECT_TRUE(kept.blocked());
    EXPECT_EQ(ReaderHostDispatch(-1), 1);
    kept.finish();
    EXPECT_EQ(result, 42);
  });
}

TEST_F(WindowMessages, ShutdownUnblocksABlockedSender) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        Semaphore done(0, 1);
        std::atomic<WindowHandle> window{0};
        BlockingCall owner([&] {  // owns the window but never dispatches
          window = makeWindow("ShutDown");
          done.wait(kWaitForever);
        });
        EXPECT_TRUE(owner.blocked());
        std::intptr_t result = 99;
        BlockingCall sender([&] { result = sendMessage(window, 0xC600, 1, 2); });
        EXPECT_TRUE(sender.blocked());
        shutdownWindows();
        EXPECT_LT(sender.finish(), kPromptMs);
        EXPECT_EQ(result, 0);
        done.release();
        owner.finish();
        // Later sends return 0 at once and posts are refused.
        EXPECT_EQ(sendMessage(window, 0xC600, 1, 2), 0);
        EXPECT_FALSE(postMessage(window, 0xC600, 1, 2));
        EXPECT_TRUE(callsTo(window).empty());
        std::exit(::testing::Test::HasFailure() ? 1 : 0);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(WindowMessages, AWindowEndsWithItsThreadAndASenderWaitingForItIsReleased) {
  Semaphore finish(0, 1);
  std::atomic<WindowHandle> window{0};
  BlockingCall owner([&] {  // owns the window, never dispatches, then ends
    window = makeWindow("Retired");
    finish.wait(kWaitForever);
  });
  ASSERT_TRUE(owner.blocked());
  EXPECT_TRUE(isWindow(window));
  std::intptr_t result = 99;
  BlockingCall sender([&] { result = sendMessage(window, 0xC700, 1, 2); });
  ASSERT_TRUE(sender.blocked());
  finish.release();
  owner.finish();
  EXPECT_LT(sender.finish(), kPromptMs);
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(isWindow(window));
  EXPECT_EQ(sendMessage(window, 0xC700, 1, 2), 0);
  EXPECT_FALSE(postMessage(window, 0xC700, 1, 2));
  EXPECT_TRUE(callsTo(window).empty());
}

TEST_F(WindowMessages, BroadcastsAndTriggerKeysReachTheListenerAndEveryWindow) {
  ReaderHostSetBroadcastListener(recordBroadcast, nullptr);
  Semaphore go(0, 1);
  std::atomic<WindowHandle> elsewhere{0};
  std::atomic<int> dispatchedElsewhere{-1};
  BlockingCall owner([&] {  // owns a window on another thread
    elsewhere = makeWindow("BroadcastElsewhere");
    go.wait(kWaitForever);
    dispatchedElsewhere = ReaderHostDispatch(0);
  });
  EXPECT_TRUE(owner.blocked());
  const char *names[] = {"WM_DECODEDATA", "WM_USER1DOWN", "WM_USER1UP", "WM_USER2DOWN", "WM_USER2UP"};
  onFreshThread([&] {
    WindowHandle here = makeWindow("BroadcastHere");
    // The name as first registered is what the listener is given; the order
    // of two calls in one expression is the compiler's (on ARM the other way
    // round from x86-64), so each is made on its own.
    const std::uint32_t decodeData = registerWindowMessage(names[0]);
    EXPECT_EQ(registerWindowMessage("wm_decodedata"), decodeData);  // case ignored
    EXPECT_TRUE(postMessage(kBroadcastWindow, registerWindowMessage(names[0]), 7, 0));
    EXPECT_EQ(ReaderHostTriggerKey(1, 1), 1);
    EXPECT_EQ(ReaderHostTriggerKey(1, 0), 1);
    EXPECT_EQ(ReaderHostTriggerKey(2, 5), 1);  // any nonzero is "pressed"
    EXPECT_EQ(ReaderHostTriggerKey(2, 0), 1);
    EXPECT_EQ(ReaderHostTriggerKey(3, 1), 0);
    EXPECT_EQ(ReaderHostTriggerKey(0, 1), 0);
    // The listener ran on this thread before each post returned.
    std::vector<Call> seen = callsTo(0);
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[0].wParam, 7u);
    EXPECT_EQ(seen[0].thread, std::this_thread::get_id());
    EXPECT_EQ(ReaderHostDispatch(0), 5);
    for (std::size_t i = 0; i < 5; ++i) {
      EXPECT_EQ(seen[i].name, names[i]);
      EXPECT_EQ(callsTo(here).at(i).message, registerWindowMessage(names[i])) << names[i];
    }
  });
  go.release();
  owner.finish();
  EXPECT_EQ(dispatchedElsewhere, 5);
  ASSERT_EQ(callsTo(elsewhere).size(), 5u);
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(callsTo(elsewhere)[i].message, registerWindowMessage(names[i])) << names[i];
  }
}

}  // namespace
