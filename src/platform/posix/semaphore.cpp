// Counting semaphores: a count and its maximum under a mutex, waits on the
// steady clock.
//
// Waiters are served in the order they arrived: a released count goes to the
// longest waiter, and a thread that merely tries (or arrives later) cannot
// take it first. Used as a lock (portLock), an unfair semaphore would let one
// busy thread starve another for as long as it keeps coming back.
#include "platform/semaphore.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <new>

#include "platform/clock.h"

namespace reader::platform {

struct Semaphore::Impl {
  std::mutex mutex;
  std::condition_variable changed;
  int count = 0;
  int maximum = 1;
  std::uint64_t nextTicket = 0;
  std::deque<std::uint64_t> waiters;  // tickets in arrival order

  bool firstInLine(std::uint64_t ticket) const { return !waiters.empty() && waiters.front() == ticket; }
  void leaveLine(std::uint64_t ticket) {
    waiters.erase(std::find(waiters.begin(), waiters.end(), ticket));
    // The next in line may now be the one a count is waiting for.
    changed.notify_all();
  }
};

// The constructor cannot fail: a maximum below 1 is taken as 1, and the
// initial count is clamped to 0..maximum.
Semaphore::Semaphore(int initialCount, int maximumCount) : impl_(std::make_unique<Impl>()) {
  impl_->maximum = std::max(maximumCount, 1);
  impl_->count = std::clamp(initialCount, 0, impl_->maximum);
}

Semaphore::~Semaphore() = default;

bool Semaphore::release() {
  {
    std::lock_guard lock(impl_->mutex);
    if (impl_->count >= impl_->maximum) return false;
    ++impl_->count;
  }
  impl_->changed.notify_all();
  return true;
}

WaitResult Semaphore::wait(std::uint32_t timeoutMs) {
  Impl &s = *impl_;
  std::unique_lock lock(s.mutex);
  if (s.count > 0 && s.waiters.empty()) {
    --s.count;
    return WaitResult::Signaled;
  }
  if (timeoutMs == 0) return WaitResult::TimedOut;
  const std::uint64_t ticket = s.nextTicket++;
  try {
    s.waiters.push_back(ticket);
  } catch (...) {  // std::bad_alloc
    return WaitResult::Failed;
  }
  auto myTurn = [&] { return s.count > 0 && s.firstInLine(ticket); };
  if (timeoutMs == kWaitForever) {
    s.changed.wait(lock, myTurn);
  } else if (!s.changed.wait_until(
                 lock, std::chrono::steady_clock::now() + std::chrono::milliseconds(realWaitMs(timeoutMs)), myTurn)) {
    s.leaveLine(ticket);
    return WaitResult::TimedOut;
  }
  s.leaveLine(ticket);
  --s.count;
  return WaitResult::Signaled;
}

}  // namespace reader::platform

namespace reader::platform {

void Semaphore::resetAfterFork(int count) {
  Impl &s = *impl_;
  // The parent's threads may have held the mutex or waited on the condition
  // at the fork; both are made afresh over the copies, which are never used
  // (nor destroyed: a condition with waiters that do not exist any more
  // would never finish its destruction).
  new (&s.mutex) std::mutex;
  new (&s.changed) std::condition_variable;
  s.waiters.clear();
  s.count = std::clamp(count, 0, s.maximum);
}

}  // namespace reader::platform
