// Counting semaphores: a count and its maximum under a mutex, waits on the
// steady clock.
#include "platform/semaphore.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace reader::platform {

struct Semaphore::Impl {
  std::mutex mutex;
  std::condition_variable available;
  int count = 0;
  int maximum = 1;
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
  impl_->available.notify_one();
  return true;
}

WaitResult Semaphore::wait(std::uint32_t timeoutMs) {
  std::unique_lock lock(impl_->mutex);
  auto positive = [this] { return impl_->count > 0; };
  if (timeoutMs == kWaitForever) {
    impl_->available.wait(lock, positive);
  } else if (!impl_->available.wait_until(
                 lock, std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs),
                 positive)) {
    return WaitResult::TimedOut;
  }
  --impl_->count;
  return WaitResult::Signaled;
}

}  // namespace reader::platform
