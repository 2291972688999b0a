#include "support/scripted_serial_port.h"

#include "support/manual_clock.h"

namespace readerfuzz {

namespace rp = reader::platform;

ScriptedSerialPort::ScriptedSerialPort(const std::uint8_t *script, std::size_t size) : nextArrivalMs_(manualClockMs()) {
  events_.reserve(size);
  for (std::size_t i = 0; i < size; ++i) {
    if (script[i] != kEscape) {
      events_.push_back({EventType::Byte, script[i]});
      continue;
    }
    if (++i == size) break;
    const std::uint8_t code = script[i];
    if (code == kEscape)
      events_.push_back({EventType::Byte, kEscape});
    else if (code == kBoundary)
      events_.push_back({EventType::Boundary, 0});
    else if (code == kFailure)
      events_.push_back({EventType::Failure, 0});
    else
      events_.push_back({EventType::Pause, code * kPauseUnitMs});
  }
}

rp::ErrorCode ScriptedSerialPort::setSpeed(int bitsPerSecond) {
  if (!open_) return rp::invalidPortError();
  switch (bitsPerSecond) {
    case 9600:
    case 19200:
    case 38400:
    case 57600:
    case 115200: return 0;
    default: return 22;  // EINVAL, as the real backend
  }
}

rp::ErrorCode ScriptedSerialPort::getTimeouts(rp::SerialTimeouts &out) {
  if (!open_) return rp::invalidPortError();
  out = timeouts_;
  return 0;
}

rp::ErrorCode ScriptedSerialPort::setTimeouts(const rp::SerialTimeouts &timeouts) {
  if (!open_) return rp::invalidPortError();
  timeouts_ = timeouts;
  return 0;
}

void ScriptedSerialPort::settle() {
  while (cursor_ < events_.size()) {
    const Event &event = events_[cursor_];
    if (event.type == EventType::Pause) {
      nextArrivalMs_ += event.value;
    } else if (event.type == EventType::Boundary && releasesUsed_ < releases_.size()) {
      // The answer starts once its command went out.
      if (releases_[releasesUsed_] > nextArrivalMs_) nextArrivalMs_ = releases_[releasesUsed_];
      ++releasesUsed_;
    } else {
      return;
    }
    ++cursor_;
  }
}

rp::ErrorCode ScriptedSerialPort::purge(rp::PurgeScope) {
  if (!open_) return rp::invalidPortError();
  // What has arrived and is unread goes; what is still on its way stays.
  for (;;) {
    settle();
    if (cursor_ == events_.size() || events_[cursor_].type != EventType::Byte) break;
    if (nextArrivalMs_ > manualClockMs()) break;
    ++cursor_;
  }
  return 0;
}

rp::ReadStatus ScriptedSerialPort::readByte(std::uint8_t &out, std::uint32_t timeoutMs, rp::ErrorCode &error) {
  out = 0;
  error = 0;
  if (!open_ || failed_) {
    error = open_ ? kFailureError : rp::invalidPortError();
    return rp::ReadStatus::Failed;
  }
  settle();
  const std::uint64_t now = manualClockMs();
  const std::uint64_t limit = now + timeoutMs;
  if (cursor_ < events_.size()) {
    const Event &event = events_[cursor_];
    if (event.type == EventType::Failure) {
      ++cursor_;
      failed_ = true;
      error = kFailureError;
      return rp::ReadStatus::Failed;
    }
    if (event.type == EventType::Byte && nextArrivalMs_ <= limit) {
      advanceManualClockTo(nextArrivalMs_);
      out = static_cast<std::uint8_t>(event.value);
      ++cursor_;
      ++delivered_;
      return rp::ReadStatus::Byte;
    }
  }
  advanceManualClockTo(limit);
  return rp::ReadStatus::TimedOut;
}

rp::ErrorCode ScriptedSerialPort::write(const std::uint8_t *data, std::size_t size, std::size_t &written) {
  written = 0;
  if (!open_) return rp::invalidPortError();
  if (failed_) return kFailureError;
  writes_.emplace_back(data, data + size);
  releases_.push_back(manualClockMs());
  written = size;
  return 0;
}

}  // namespace readerfuzz
