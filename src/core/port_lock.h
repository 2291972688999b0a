// A channel's port lock, held: the token that lets a function talk to the
// device.
//
// Each operation (a scan cycle, a settings call, a tag cycle, an open, a
// close, the idle close) takes its channel's lock once, at its top, and
// hands the token down; every function that exchanges bytes with the device,
// or opens, closes or re-speeds its port, takes the token instead of the
// channel, so it cannot be called without the lock. The lock is not
// re-entrant: a thread that holds it never takes it again (debug builds stop
// at the attempt instead of waiting for ever).
#pragma once

#include <cassert>
#include <optional>
#include <thread>

#include "core/device_channel.h"

namespace reader {

class PortLock {
 public:
  enum class Mode { Wait, TryOnly };

  // Wait: without limit (the semaphore serves waiters in order, so no thread
  // is starved). TryOnly: only if the lock is free now. nullopt when it was
  // not free (TryOnly) or the semaphore itself failed; the caller must then
  // leave the port alone.
  static std::optional<PortLock> take(DeviceChannel &channel, Mode mode = Mode::Wait) {
    assert(channel.portLockOwner.load() != std::this_thread::get_id() && "the port lock is not re-entrant");
    const std::uint32_t timeout = mode == Mode::Wait ? platform::kWaitForever : 0;
    if (channel.portLock.wait(timeout) != platform::WaitResult::Signaled) return std::nullopt;
    channel.portLockOwner = std::this_thread::get_id();
    return PortLock(channel);
  }

  PortLock(PortLock &&other) noexcept : channel_(other.channel_) { other.channel_ = nullptr; }
  PortLock &operator=(PortLock &&) = delete;
  PortLock(const PortLock &) = delete;
  PortLock &operator=(const PortLock &) = delete;
  ~PortLock() {
    if (channel_ == nullptr) return;
    channel_->portLockOwner = std::thread::id();
    channel_->portLock.release();
  }

  // The channel whose port this token holds.
  DeviceChannel &channel() const { return *channel_; }

 private:
  explicit PortLock(DeviceChannel &channel) : channel_(&channel) {}

  DeviceChannel *channel_;
};

}  // namespace reader
