// A serial port with a scripted device behind it: every read takes the next
// step of the device's side of the conversation, whatever the host wrote.
//
// Script encoding (every byte string is a valid script):
//   any byte but 0xFF    the device sends that byte
//   0xFF 0x00            silence: this read times out (virtual time passes)
//   0xFF 0x01            this read fails as a broken line does
//   0xFF 0x02            the device sends 0xFF
//   0xFF 0x03            purge mark: a purge by the host discards every step
//                        up to the next mark (bytes that arrived before it);
//                        reads pass over a mark
//   0xFF, anything else  the device sends 0xFF; the next byte is a new step
// After the script the device stays silent. Bytes arrive only when read, so
// a purge with no mark ahead discards nothing.
//
// A silence moves the manual clock (manual_clock.h) on by the read time-out,
// as a real port would take that long; nothing sleeps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/serial_port.h"

namespace readerfuzz {

inline constexpr std::uint8_t kScriptEscape = 0xFF;
inline constexpr std::uint8_t kScriptSilence = 0x00;
inline constexpr std::uint8_t kScriptFailure = 0x01;
inline constexpr std::uint8_t kScriptLiteralEscape = 0x02;
inline constexpr std::uint8_t kScriptPurgeMark = 0x03;

class ScriptedDevicePort final : public reader::platform::SerialPort {
 public:
  explicit ScriptedDevicePort(std::vector<std::uint8_t> script);

  reader::platform::ErrorCode setSpeed(int bitsPerSecond) override;
  reader::platform::ErrorCode getTimeouts(reader::platform::SerialTimeouts &out) override;
  reader::platform::ErrorCode setTimeouts(const reader::platform::SerialTimeouts &timeouts) override;
  reader::platform::ErrorCode purge(reader::platform::PurgeScope scope) override;
  reader::platform::ErrorCode drain() override;
  reader::platform::ReadStatus readByte(std::uint8_t &out, std::uint32_t timeoutMs,
                                        reader::platform::ErrorCode &error) override;
  reader::platform::ErrorCode write(const std::uint8_t *data, std::size_t size, std::size_t &written) override;
  reader::platform::ErrorCode setRts(bool on) override;
  reader::platform::ErrorCode setDtr(bool on) override;
  void close() override;
  bool isOpen() const override;

  // Opens a closed port again; the script goes on where it stopped.
  void reopen();

  // What the host wrote, one entry per write call.
  std::vector<std::vector<std::uint8_t>> writes() const;
  std::size_t opens() const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::uint8_t> script_;
  std::size_t next_ = 0;
  reader::platform::SerialTimeouts timeouts_;
  std::vector<std::vector<std::uint8_t>> writes_;
  std::size_t opens_ = 1;
  bool open_ = true;
};

}  // namespace readerfuzz
