// The call gate both serial backends close their ports through: calls let in
// only while open, a close that wakes the calls inside and lets the handle go
// only after they left, closes that run once, and a forked child's copy let
// go without the lock its parent may hold.
#include "platform/common/port_call_gate.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/platform_test_support.h"

namespace {

using reader::platform::common::CallsInside;
using reader::platform::common::PortCallGate;

// Generous: only a hang takes this long.
constexpr auto kHangGuard = std::chrono::milliseconds(static_cast<int>(platform_test::kPromptMs * 5));

// Set once by one thread, awaited by another.
class Signal {
 public:
  void set() {
    std::lock_guard lock(mutex_);
    set_ = true;
    changed_.notify_all();
  }
  bool wait() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kHangGuard, [this] { return set_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool set_ = false;
};

TEST(PortCallGate, LetsCallsInWhileOpenAndClosesOnce) {
  PortCallGate gate;
  EXPECT_TRUE(gate.isOpen());
  EXPECT_TRUE(PortCallGate::Call(gate).admitted());
  int wakes = 0, releases = 0;
  const auto close = [&] {
    gate.close(
        [&] {
          ++wakes;
          return CallsInside::WillLeave;
        },
        [&](CallsInside) { ++releases; });
  };
  close();
  close();  // again: nothing happens
  EXPECT_EQ(wakes, 1);
  EXPECT_EQ(releases, 1);
  EXPECT_FALSE(gate.isOpen());
  EXPECT_FALSE(PortCallGate::Call(gate).admitted());
  EXPECT_FALSE(gate.closeCopyInChild([&] { ++releases; }));  // the opening process
  EXPECT_EQ(releases, 1);
}

TEST(PortCallGate, ACloseWakesTheCallInsideAndReleasesOnlyAfterItLeft) {
  PortCallGate gate;
  Signal entered, woken;
  std::atomic<bool> inside{false};
  bool laterCallAdmitted = true;
  std::thread call([&] {
    PortCallGate::Call blocked(gate);
    ASSERT_TRUE(blocked.admitted());
    inside = true;
    entered.set();
    woken.wait();  // as a read blocked in the handle
    // The port is closing: a new call is refused at once, not queued.
    laterCallAdmitted = PortCallGate::Call(gate).admitted();
    inside = false;
  });
  ASSERT_TRUE(entered.wait());
  bool insideAtRelease = true;
  CallsInside released = CallsInside::Abandoned;
  gate.close(
      [&] {
        woken.set();
        return CallsInside::WillLeave;
      },
      [&](CallsInside calls) {
        insideAtRelease = inside;
        released = calls;
      });
  call.join();
  EXPECT_FALSE(insideAtRelease) << "the handle was let go while a call was still using it";
  EXPECT_EQ(released, CallsInside::WillLeave);
  EXPECT_FALSE(laterCallAdmitted);
}

TEST(PortCallGate, CallsThatWillNeverLeaveAreNotWaitedFor) {
  PortCallGate gate;
  // A call of a thread the ending process has already ended.
  std::optional<PortCallGate::Call> stuck(std::in_place, gate);
  ASSERT_TRUE(stuck->admitted());
  std::atomic<CallsInside> released{CallsInside::WillLeave};
  auto closing = std::async(std::launch::async, [&] {
    gate.close([] { return CallsInside::Abandoned; }, [&](CallsInside calls) { released = calls; });
  });
  const bool returned = closing.wait_for(kHangGuard) == std::future_status::ready;
  stuck.reset();  // lets a close that waited after all return
  closing.wait();
  EXPECT_TRUE(returned) << "close waited for an abandoned call";
  EXPECT_EQ(released, CallsInside::Abandoned);
  EXPECT_FALSE(gate.isOpen());
}

TEST(PortCallGate, ASecondCloseReturnsOnlyOnceTheFirstHasLetTheHandleGo) {
  PortCallGate gate;
  std::optional<PortCallGate::Call> inside(std::in_place, gate);
  Signal woken;
  std::atomic<bool> released{false};
  std::thread first([&] {
    gate.close(
        [&] {
          woken.set();
          return CallsInside::WillLeave;
        },
        [&](CallsInside) { released = true; });
  });
  ASSERT_TRUE(woken.wait());  // the first close now waits for the call inside
  bool releasedWhenSecondReturned = false;
  int secondSteps = 0;
  platform_test::BlockingCall second([&] {
    gate.close(
        [&] {
          ++secondSteps;
          return CallsInside::WillLeave;
        },
        [&](CallsInside) { ++secondSteps; });
    releasedWhenSecondReturned = released;
  });
  EXPECT_TRUE(second.blocked());
  inside.reset();  // the call leaves: the first close lets the handle go
  first.join();
  second.finish();
  EXPECT_TRUE(releasedWhenSecondReturned) << "a close returned while the handle was still in use";
  EXPECT_EQ(secondSteps, 0);
}

// A child forked while a parent thread was inside the close (holding the
// gate's lock, which the child inherits held) lets its copy go all the same,
// once, and refuses calls from then on.
TEST(PortCallGate, AForkedChildLetsItsCopyGoWithoutTheLockItsParentHeld) {
  PortCallGate gate;
  Signal releasing, finishRelease;
  std::thread closer([&] {
    gate.close([] { return CallsInside::WillLeave; },
               [&](CallsInside) {
                 releasing.set();
                 finishRelease.wait();
               });
  });
  ASSERT_TRUE(releasing.wait());
  int reply[2];
  ASSERT_EQ(::pipe(reply), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int copies = 0;
    const bool letGo = gate.closeCopyInChild([&] { ++copies; }) && gate.closeCopyInChild([&] { ++copies; });
    const char result = letGo && copies == 1 && !gate.isOpen() && !PortCallGate::Call(gate).admitted() ? 'y' : 'n';
    ::_exit(::write(reply[1], &result, 1) == 1 ? 0 : 1);
  }
  ::close(reply[1]);
  // A child stuck on the inherited lock is a failure, not a hang.
  pollfd ready{reply[0], POLLIN, 0};
  char result = 0;
  const bool returned =
      ::poll(&ready, 1, static_cast<int>(platform_test::kPromptMs)) == 1 && ::read(reply[0], &result, 1) == 1;
  ::close(reply[0]);
  if (!returned) ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  finishRelease.set();
  closer.join();
  ASSERT_TRUE(returned) << "the child blocked on its parent's lock";
  EXPECT_EQ(result, 'y');
}

}  // namespace
