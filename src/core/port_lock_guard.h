// Holds a channel's portLock for the length of a scope.
//
// Every exchange with a device, and every open, close and speed change of
// its port, runs under that channel's portLock. Whole operations (a settings
// call, a default set-up, an open) hold it from start to end, and the single
// exchanges inside them take it again: the guard notices that this thread
// already holds the lock and then neither waits nor releases it.
#pragma once

#include <thread>

#include "core/device_channel.h"

namespace reader {

class PortLockGuard {
 public:
  enum class Mode { Wait, TryOnly };

  // Wait: without limit (the semaphore serves waiters in order, so no thread
  // is starved). TryOnly: takes the lock only if it is free now.
  explicit PortLockGuard(DeviceChannel &channel, Mode mode = Mode::Wait) : channel_(channel) {
    if (channel.portLockOwner.load() == std::this_thread::get_id()) {
      held_ = true;
      return;
    }
    const std::uint32_t timeout = mode == Mode::Wait ? platform::kWaitForever : 0;
    held_ = owns_ = channel.portLock.wait(timeout) == platform::WaitResult::Signaled;
    if (owns_) channel.portLockOwner = std::this_thread::get_id();
  }
  ~PortLockGuard() {
    if (!owns_) return;
    channel_.portLockOwner = std::thread::id();
    channel_.portLock.release();
  }
  PortLockGuard(const PortLockGuard &) = delete;
  PortLockGuard &operator=(const PortLockGuard &) = delete;

  // False when the lock was not free (TryOnly) or the semaphore itself
  // failed; the caller must then leave the port alone.
  bool held() const { return held_; }

 private:
  DeviceChannel &channel_;
  bool held_ = false;
  bool owns_ = false;
};

}  // namespace reader
