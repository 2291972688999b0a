// The host's end of a simulated line for tests: opens the slave path raw
// like the library opens a serial port, and reads with deadlines.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "readersim/line_speed.h"

namespace readersim::testing {

// Generous: only reached when something is wrong.
inline constexpr std::chrono::milliseconds kTimeout{5000};

class HostPort {
 public:
  HostPort(const std::string &path, int speed) : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {
    termios settings{};
    EXPECT_EQ(tcgetattr(fd_, &settings), 0) << "cannot open " << path;
    cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    tcsetattr(fd_, TCSANOW, &settings);
    setSpeed(speed);
  }
  ~HostPort() { close(); }
  HostPort(const HostPort &) = delete;
  HostPort &operator=(const HostPort &) = delete;

  int fd() const { return fd_; }
  void setSpeed(int speed) {
    auto code = speedCode(speed);
    ASSERT_TRUE(code.has_value()) << speed;
    termios settings{};
    tcgetattr(fd_, &settings);
    cfsetspeed(&settings, *code);
    EXPECT_EQ(tcsetattr(fd_, TCSANOW, &settings), 0) << speed;
  }
  void close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  // false when the write failed (errno kept).
  bool write(std::string_view bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
      ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno != EINTR && errno != EAGAIN) return false;
      done += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    return true;
  }
  bool write(const std::vector<std::uint8_t> &bytes) {
    return write(std::string_view(reinterpret_cast<const char *>(bytes.data()), bytes.size()));
  }

  // Reads until `count` bytes or the terminator came, or the time-out.
  std::string read(std::size_t count, char terminator = '\0') {
    std::string text;
    auto deadline = std::chrono::steady_clock::now() + kTimeout;
    while (text.size() < count && (text.empty() || terminator == '\0' || text.back() != terminator)) {
      auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      pollfd entry{fd_, POLLIN, 0};
      if (left.count() <= 0 || ::poll(&entry, 1, static_cast<int>(left.count())) <= 0) break;
      char c;
      if ((entry.revents & POLLIN) == 0 || ::read(fd_, &c, 1) != 1) break;
      text.push_back(c);
    }
    return text;
  }
  std::string readUntil(char terminator) { return read(std::string::npos, terminator); }
  // One SSI packet: length byte, then length + 1 more bytes.
  std::vector<std::uint8_t> readSsiPacket() {
    std::string packet = read(1);
    if (!packet.empty()) packet += read(static_cast<std::uint8_t>(packet[0]) + 1u);
    return std::vector<std::uint8_t>(packet.begin(), packet.end());
  }

  // Waits for the line to hang up (the device end closed).
  bool waitForHangUp() {
    pollfd entry{fd_, POLLIN, 0};
    return ::poll(&entry, 1, static_cast<int>(kTimeout.count())) > 0 && (entry.revents & POLLHUP) != 0;
  }

 private:
  int fd_;
};

}  // namespace readersim::testing
