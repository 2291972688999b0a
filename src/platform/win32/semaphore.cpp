// Counting semaphores on Windows, served in arrival order.
//
// A kernel semaphore does not promise that order, and a mere try could take
// a count a waiter is due, so the count lives under a critical section and
// each waiter waits on an event of its own, queued in arrival order: a
// release wakes the first in line only.
//
// Nothing here rests on the C++ runtime's condition variables: when the
// process ends, the system ends the library's threads where they wait, and
// the teardown that follows must still be able to release and destroy every
// semaphore. A waiter's event and queue entry belong to the waiter; a waiter
// that was ended that way leaves only its entry, which nobody waits for.
// Then no other thread is left to release a count either: a wait takes the
// count that is there, whoever queued before, or ends at once as timed out,
// and the critical section (which an ended thread may have held) is no
// longer entered.
#include "platform/semaphore.h"

#include <windows.h>

#include <algorithm>
#include <deque>

#include "platform/win32/this_module.h"

namespace reader::platform {
namespace {

struct Waiter {
  HANDLE wake;
  bool woken = false;  // the wake event has been set for the count now free
};

}  // namespace

struct Semaphore::Impl {
  CRITICAL_SECTION section;
  int count = 0;
  int maximum = 1;
  std::deque<Waiter *> waiters;  // in arrival order

  // The count is free for the first in line: wake it, once.
  void wakeFirst() {
    if (count > 0 && !waiters.empty() && !waiters.front()->woken) {
      waiters.front()->woken = true;
      SetEvent(waiters.front()->wake);
    }
  }
};

// At process end this thread is the only one left: nothing to exclude.
class SectionLock {
 public:
  explicit SectionLock(CRITICAL_SECTION &section) : section_(section), entered_(!win32::processEnding()) {
    if (entered_) EnterCriticalSection(&section_);
  }
  ~SectionLock() {
    if (entered_) LeaveCriticalSection(&section_);
  }
  SectionLock(const SectionLock &) = delete;
  SectionLock &operator=(const SectionLock &) = delete;

 private:
  CRITICAL_SECTION &section_;
  const bool entered_;
};

// The constructor cannot fail: a maximum below 1 is taken as 1, and the
// initial count is clamped to 0..maximum.
Semaphore::Semaphore(int initialCount, int maximumCount) : impl_(std::make_unique<Impl>()) {
  InitializeCriticalSection(&impl_->section);
  impl_->maximum = std::max(maximumCount, 1);
  impl_->count = std::clamp(initialCount, 0, impl_->maximum);
}

Semaphore::~Semaphore() { DeleteCriticalSection(&impl_->section); }

bool Semaphore::release() {
  SectionLock lock(impl_->section);
  if (impl_->count >= impl_->maximum) return false;
  ++impl_->count;
  impl_->wakeFirst();
  return true;
}

WaitResult Semaphore::wait(std::uint32_t timeoutMs) {
  Impl &s = *impl_;
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  Waiter me{};
  {
    SectionLock lock(s.section);
    const bool ending = win32::processEnding();  // the queued waiters are gone
    if (s.count > 0 && (s.waiters.empty() || ending)) {
      --s.count;
      return WaitResult::Signaled;
    }
    if (timeoutMs == 0 || ending) return WaitResult::TimedOut;
    me.wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (me.wake == nullptr) return WaitResult::Failed;
    try {
      s.waiters.push_back(&me);
    } catch (...) {  // std::bad_alloc
      CloseHandle(me.wake);
      return WaitResult::Failed;
    }
  }
  WaitResult result = WaitResult::TimedOut;
  for (;;) {
    DWORD waitMs = INFINITE;
    if (timeoutMs != kWaitForever) {
      const ULONGLONG now = GetTickCount64();
      waitMs = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
    }
    const DWORD woken = WaitForSingleObject(me.wake, waitMs);
    SectionLock lock(s.section);
    if (s.count > 0 && s.waiters.front() == &me) {
      --s.count;
      result = WaitResult::Signaled;
    } else if (woken == WAIT_OBJECT_0) {
      me.woken = false;  // the count went again before this thread ran
      continue;
    } else if (woken != WAIT_TIMEOUT) {
      result = WaitResult::Failed;
    }
    s.waiters.erase(std::find(s.waiters.begin(), s.waiters.end(), &me));
    s.wakeFirst();  // the next in line, if a count is left for it
    break;
  }
  CloseHandle(me.wake);
  return result;
}

}  // namespace reader::platform

namespace reader::platform {

// Windows has no fork: a process never inherits another's waiters. The count
// is set all the same, as the contract says.
void Semaphore::resetAfterFork(int count) {
  SectionLock lock(impl_->section);
  impl_->count = std::clamp(count, 0, impl_->maximum);
  impl_->wakeFirst();
}

}  // namespace reader::platform
