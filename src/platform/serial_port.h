// Serial ports: "COM<n>:" of the terminal.
//
// Required of every backend. All calls are safe from any thread; calls on one
// port from several threads at once are allowed (one reader and one writer is
// the common case) and never corrupt the port. close() may be called while
// another thread is blocked in readByte() or write() on the same port: that
// call then returns promptly with a failure, and later calls fail at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/platform_types.h"

namespace reader::platform {

// The time-outs the core sets on a port (milliseconds).
struct SerialTimeouts {
  // The read time-out the core last set, kept for it: the port itself never
  // reads it, since every readByte() is given its own wait.
  std::uint32_t readTotalMs = 0;
  // How long one write() may take in all. 0: write what the port takes at
  // once, never wait.
  std::uint32_t writeTotalMs = 0;

  bool operator==(const SerialTimeouts &) const = default;
};

enum class ReadStatus {
  Byte,      // one byte was read
  TimedOut,  // no byte within the read's time-out (error code 0)
  Failed     // the port failed (closed, hung up, ...); error code set
};

enum class PurgeScope { Input, Everything };

// The modem status lines a port reads (SerialPort::readModemLines), as bits.
namespace modem_line {
inline constexpr unsigned kCts = 1u << 0;
inline constexpr unsigned kDsr = 1u << 1;
inline constexpr unsigned kDcd = 1u << 2;
inline constexpr unsigned kRing = 1u << 3;
}  // namespace modem_line

class SerialPort {
 public:
  // Opens COM port `portNumber` for reading and writing, exclusively, raw
  // 8 data bits, no parity, one stop bit, no flow control, with 4096-byte
  // queues, both directions purged. The exclusive use is claimed before any
  // setting is touched and holds against every process, a privileged one
  // included: a port that another holder uses fails at once with the busy
  // error (EBUSY on POSIX; Windows refuses the sharing with its own error)
  // and that holder's speed, input and claim are left as they are. A claim
  // made here is given up again on every later failure, so a failed open
  // never locks others out. The POSIX backend maps port n to the device path
  // in the environment variable READER_COM<n>; unset or unopenable gives
  // nullptr and a system error code in `error`.
  static std::shared_ptr<SerialPort> open(int portNumber, ErrorCode &error);

  // One line naming the device and the system's reason for the last open of
  // port `portNumber` in this process that failed, for people to act on:
  // "/dev/ttyUSB0 (READER_COM1): permission denied (errno 13)" on POSIX,
  // "COM1: " and the system's message on Windows. Empty when that port's
  // last open succeeded, or none failed yet.
  static std::string lastOpenFailure(int portNumber);

  virtual ~SerialPort() = default;

  // Sets the line speed in bit/s (8N1 kept). Supported: 9600, 19200, 38400,
  // 57600, 115200; anything else fails (EINVAL on POSIX) and changes nothing.
  virtual ErrorCode setSpeed(int bitsPerSecond) = 0;
  virtual ErrorCode getTimeouts(SerialTimeouts &out) = 0;
  virtual ErrorCode setTimeouts(const SerialTimeouts &timeouts) = 0;

  // Discards every byte received and not yet read; Everything also discards
  // every byte written and not yet sent (an abort: a command would lose its
  // tail, so the input alone is purged before a command).
  virtual ErrorCode purge(PurgeScope scope) = 0;

  // Waits until the bytes written have left the port, at most as long as
  // they take at the current speed plus a small margin. write() returns once
  // the driver has the bytes, not once they are on the line.
  virtual ErrorCode drain() = 0;

  // Reads one byte, waiting up to `timeoutMs` for it. 0: take a byte that
  // has already arrived, never wait.
  virtual ReadStatus readByte(std::uint8_t &out, std::uint32_t timeoutMs, ErrorCode &error) = 0;

  // Writes `size` bytes within the write time-out. `written` receives how
  // many were taken by the port; a time-out that wrote only part of the
  // bytes returns 0 (success) with the shorter count, a failure returns the
  // error code.
  virtual ErrorCode write(const std::uint8_t *data, std::size_t size, std::size_t &written) = 0;

  // Modem control lines. A port without modem lines (a pseudo-terminal)
  // reports success: the lines simply do not exist there.
  virtual ErrorCode setRts(bool on) = 0;
  virtual ErrorCode setDtr(bool on) = 0;

  // Optional (the default has none): the modem status lines asserted now,
  // as modem_line bits. false, with `lines` untouched, when the port cannot
  // tell (no modem lines, as on a pseudo-terminal; not open; refused).
  virtual bool readModemLines(unsigned &lines) const {
    static_cast<void>(lines);
    return false;
  }

  // Closes the port; idempotent. Wakes blocked callers (see above). What was
  // written is drained first (bounded as drain() is); unread input is
  // discarded. In a process other than the one that opened the port (a
  // child forked after the open) only that process's own descriptors are
  // let go: nothing reaches the device, and the opener's claim stays.
  virtual void close() = 0;
  virtual bool isOpen() const = 0;
};

}  // namespace reader::platform

namespace reader::platform {

// The error code a call on a port that is not open reports (EBADF on POSIX,
// ERROR_INVALID_HANDLE on Windows).
ErrorCode invalidPortError();

}  // namespace reader::platform
