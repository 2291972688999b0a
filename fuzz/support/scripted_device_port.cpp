#include "support/scripted_device_port.h"

#include "support/manual_clock.h"

namespace readerfuzz {

namespace {

// What a broken line reports (EIO on POSIX); any nonzero code would do.
constexpr reader::platform::ErrorCode kLineFailure = 5;
constexpr reader::platform::ErrorCode kBadSpeed = 22;

bool supportedSpeed(int bitsPerSecond) {
  for (int speed : {9600, 19200, 38400, 57600, 115200})
    if (speed == bitsPerSecond) return true;
  return false;
}

}  // namespace

ScriptedDevicePort::ScriptedDevicePort(std::vector<std::uint8_t> script) : script_(std::move(script)) {}

reader::platform::ErrorCode ScriptedDevicePort::setSpeed(int bitsPerSecond) {
  std::lock_guard lock(mutex_);
  if (!open_) return reader::platform::invalidPortError();
  return supportedSpeed(bitsPerSecond) ? 0 : kBadSpeed;
}

reader::platform::ErrorCode ScriptedDevicePort::getTimeouts(reader::platform::SerialTimeouts &out) {
  std::lock_guard lock(mutex_);
  if (!open_) return reader::platform::invalidPortError();
  out = timeouts_;
  return 0;
}

reader::platform::ErrorCode ScriptedDevicePort::setTimeouts(const reader::platform::SerialTimeouts &timeouts) {
  std::lock_guard lock(mutex_);
  if (!open_) return reader::platform::invalidPortError();
  timeouts_ = timeouts;
  return 0;
}

reader::platform::ErrorCode ScriptedDevicePort::purge(reader::platform::PurgeScope) {
  std::lock_guard lock(mutex_);
  if (!open_) return reader::platform::invalidPortError();
  for (std::size_t i = next_; i + 1 < script_.size(); ++i) {
    if (script_[i] != kScriptEscape) continue;
    if (script_[i + 1] == kScriptPurgeMark) {
      next_ = i + 2;
      break;
    }
    // An escaped step's second byte is no step of its own.
    if (script_[i + 1] <= kScriptLiteralEscape) ++i;
  }
  return 0;
}

reader::platform::ErrorCode ScriptedDevicePort::drain() {
  std::lock_guard lock(mutex_);
  return open_ ? 0 : reader::platform::invalidPortError();
}

reader::platform::ReadStatus ScriptedDevicePort::readByte(std::uint8_t &out, std::uint32_t timeoutMs,
                                                          reader::platform::ErrorCode &error) {
  std::lock_guard lock(mutex_);
  error = 0;
  if (!open_) {
    error = reader::platform::invalidPortError();
    return reader::platform::ReadStatus::Failed;
  }
  const auto silence = [timeoutMs] {
    advanceManualClock(timeoutMs);
    return reader::platform::ReadStatus::TimedOut;
  };
  while (next_ + 1 < script_.size() && script_[next_] == kScriptEscape && script_[next_ + 1] == kScriptPurgeMark)
    next_ += 2;
  if (next_ >= script_.size()) return silence();
  const std::uint8_t step = script_[next_++];
  if (step != kScriptEscape || next_ >= script_.size()) {
    out = step;
    return reader::platform::ReadStatus::Byte;
  }
  switch (script_[next_]) {
    case kScriptSilence: ++next_; return silence();
    case kScriptFailure:
      ++next_;
      error = kLineFailure;
      return reader::platform::ReadStatus::Failed;
    case kScriptLiteralEscape: ++next_; break;
    default: break;
  }
  out = kScriptEscape;
  return reader::platform::ReadStatus::Byte;
}

reader::platform::ErrorCode ScriptedDevicePort::write(const std::uint8_t *data, std::size_t size,
                                                      std::size_t &written) {
  std::lock_guard lock(mutex_);
  written = 0;
  if (!open_) return reader::platform::invalidPortError();
  writes_.emplace_back(data, data + size);
  written = size;
  return 0;
}

reader::platform::ErrorCode ScriptedDevicePort::setRts(bool) { return 0; }
reader::platform::ErrorCode ScriptedDevicePort::setDtr(bool) { return 0; }

void ScriptedDevicePort::close() {
  std::lock_guard lock(mutex_);
  open_ = false;
}

bool ScriptedDevicePort::isOpen() const {
  std::lock_guard lock(mutex_);
  return open_;
}

void ScriptedDevicePort::reopen() {
  std::lock_guard lock(mutex_);
  if (!open_) ++opens_;
  open_ = true;
}

std::vector<std::vector<std::uint8_t>> ScriptedDevicePort::writes() const {
  std::lock_guard lock(mutex_);
  return writes_;
}

std::size_t ScriptedDevicePort::opens() const {
  std::lock_guard lock(mutex_);
  return opens_;
}

}  // namespace readerfuzz
