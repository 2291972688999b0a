// The host's end of a simulated line for tests: opens the slave path like
// the library opens a serial port, and reads with deadlines.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace readersim::testing {

// Generous: only reached when something is wrong.
inline constexpr std::chrono::milliseconds kTimeout{5000};

class HostPort {
 public:
  // Opens `path` raw at `speed`; fails the test (and leaves the port
  // closed) when it cannot.
  HostPort(const std::string &path, int speed);
  ~HostPort();
  HostPort(const HostPort &) = delete;
  HostPort &operator=(const HostPort &) = delete;

  bool isOpen() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  void setSpeed(int speed);
  void close();

  // false when the write failed (errno kept).
  bool write(std::span<const std::uint8_t> bytes);
  bool write(std::string_view text);

  // Reads until `count` bytes arrived or the time-out; returns what came.
  std::vector<std::uint8_t> read(std::size_t count, std::chrono::milliseconds timeout = kTimeout);
  // Reads up to and including `terminator`; returns what came.
  std::string readUntil(char terminator, std::chrono::milliseconds timeout = kTimeout);
  // One SSI packet: length byte, then length + 1 more bytes.
  std::vector<std::uint8_t> readSsiPacket(std::chrono::milliseconds timeout = kTimeout);

  // Waits for the line to hang up (the device end closed).
  bool waitForHangUp(std::chrono::milliseconds timeout = kTimeout);

 private:
  // Waits for input; false on time-out or hang-up without data.
  bool waitReadable(std::chrono::steady_clock::time_point deadline);

  int fd_ = -1;
};

}  // namespace readersim::testing
