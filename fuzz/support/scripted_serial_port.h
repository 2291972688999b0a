// A serial port whose device side is a script of bytes, for fuzz targets
// that drive the library's real reading code.
//
// The script is the bytes the device sends, with 0xFE as an escape:
//   FE FE   a data byte 0xFE
//   FE 00   answer boundary: what follows is sent only after the host's
//           next write (a device answers commands; it does not talk ahead)
//   FE FD   the port fails here (the device hung up): reads and writes fail
//   FE n    otherwise a pause of n * 10 ms before the next byte
// A lone FE at the end is ignored. After the last byte the device is silent.
//
// Time runs on the manual clock (manual_clock.h): a read that waits for a
// byte moves the clock to its arrival, a read that times out moves it by
// the read time-out, exactly as a real port would take that long. Nothing
// sleeps. Single-threaded use only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/serial_port.h"

namespace readerfuzz {

class ScriptedSerialPort : public reader::platform::SerialPort {
 public:
  static constexpr std::uint8_t kEscape = 0xFE;
  static constexpr std::uint8_t kBoundary = 0x00;
  static constexpr std::uint8_t kFailure = 0xFD;
  static constexpr std::uint32_t kPauseUnitMs = 10;
  // What a failed port reports (EIO).
  static constexpr reader::platform::ErrorCode kFailureError = 5;

  ScriptedSerialPort(const std::uint8_t *script, std::size_t size);

  reader::platform::ErrorCode setSpeed(int bitsPerSecond) override;
  reader::platform::ErrorCode getTimeouts(reader::platform::SerialTimeouts &out) override;
  reader::platform::ErrorCode setTimeouts(const reader::platform::SerialTimeouts &timeouts) override;
  reader::platform::ErrorCode purge(reader::platform::PurgeScope scope) override;
  reader::platform::ErrorCode drain() override { return 0; }
  reader::platform::ReadStatus readByte(std::uint8_t &out, std::uint32_t timeoutMs,
                                        reader::platform::ErrorCode &error) override;
  reader::platform::ErrorCode write(const std::uint8_t *data, std::size_t size, std::size_t &written) override;
  reader::platform::ErrorCode setRts(bool) override { return 0; }
  reader::platform::ErrorCode setDtr(bool) override { return 0; }
  void close() override { open_ = false; }
  bool isOpen() const override { return open_; }

  // Bytes handed to the host by readByte (purged ones not counted).
  std::size_t bytesDelivered() const { return delivered_; }
  // Every write, whole, in order.
  const std::vector<std::vector<std::uint8_t>> &writes() const { return writes_; }

 private:
  enum class EventType : std::uint8_t { Byte, Pause, Boundary, Failure };
  struct Event {
    EventType type;
    std::uint32_t value;  // the byte, or the pause in ms
  };

  // Folds pauses into the next byte's arrival and passes boundaries already
  // released by a write. Leaves the cursor on a byte, an unreleased
  // boundary, a failure or the end.
  void settle();

  std::vector<Event> events_;
  std::size_t cursor_ = 0;
  std::uint64_t nextArrivalMs_;
  std::vector<std::uint64_t> releases_;  // times of writes not yet matched to a boundary
  std::size_t releasesUsed_ = 0;
  reader::platform::SerialTimeouts timeouts_;
  bool open_ = true;
  bool failed_ = false;
  std::size_t delivered_ = 0;
  std::vector<std::vector<std::uint8_t>> writes_;
};

}  // namespace readerfuzz
