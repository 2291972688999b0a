// Holds a channel's portLock for the length of a scope.
#pragma once

#include "core/device_channel.h"

namespace reader {

class PortLockGuard {
 public:
  // Waits without limit: the holders keep the lock for one exchange at most.
  explicit PortLockGuard(DeviceChannel &channel)
      : lock_(channel.portLock),
        held_(lock_.wait(platform::kWaitForever) == platform::WaitResult::Signaled) {}
  ~PortLockGuard() {
    if (held_) lock_.release();
  }
  PortLockGuard(const PortLockGuard &) = delete;
  PortLockGuard &operator=(const PortLockGuard &) = delete;

  // False only when the semaphore itself failed; the caller must then leave
  // the port alone.
  bool held() const { return held_; }

 private:
  platform::Semaphore &lock_;
  bool held_;
};

}  // namespace reader
