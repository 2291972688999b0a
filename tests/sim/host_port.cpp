#include "host_port.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <gtest/gtest.h>

#include "readersim/line_speed.h"

namespace readersim::testing {

HostPort::HostPort(const std::string &path, int speed) {
  fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) {
    ADD_FAILURE() << "cannot open " << path << ": " << std::strerror(errno);
    return;
  }
  termios settings{};
  tcgetattr(fd_, &settings);
  cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL | CREAD;
  tcsetattr(fd_, TCSANOW, &settings);
  setSpeed(speed);
}

HostPort::~HostPort() { close(); }

void HostPort::setSpeed(int speed) {
  auto code = speedCode(speed);
  ASSERT_TRUE(code.has_value()) << speed;
  termios settings{};
  ASSERT_EQ(tcgetattr(fd_, &settings), 0);
  cfsetispeed(&settings, *code);
  cfsetospeed(&settings, *code);
  ASSERT_EQ(tcsetattr(fd_, TCSANOW, &settings), 0);
}

void HostPort::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool HostPort::write(std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno != EINTR && errno != EAGAIN) {
      return false;
    }
  }
  return true;
}

bool HostPort::write(std::string_view text) {
  return write(std::span(reinterpret_cast<const std::uint8_t *>(text.data()), text.size()));
}

bool HostPort::waitReadable(std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd entry{fd_, POLLIN, 0};
    int ready = ::poll(&entry, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    if (entry.revents & POLLIN) return true;
    return false;  // hang-up without data
  }
}

std::vector<std::uint8_t> HostPort::read(std::size_t count, std::chrono::milliseconds timeout) {
  std::vector<std::uint8_t> bytes;
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (bytes.size() < count && waitReadable(deadline)) {
    std::uint8_t buffer[256];
    ssize_t n = ::read(fd_, buffer, std::min(sizeof buffer, count - bytes.size()));
    if (n <= 0) break;
    bytes.insert(bytes.end(), buffer, buffer + n);
  }
  return bytes;
}

std::string HostPort::readUntil(char terminator, std::chrono::milliseconds timeout) {
  std::string text;
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while ((text.empty() || text.back() != terminator) && waitReadable(deadline)) {
    char c;
    if (::read(fd_, &c, 1) != 1) break;
    text.push_back(c);
  }
  return text;
}

std::vector<std::uint8_t> HostPort::readSsiPacket(std::chrono::milliseconds timeout) {
  auto packet = read(1, timeout);
  if (packet.empty()) return packet;
  auto rest = read(static_cast<std::size_t>(packet[0]) + 1, timeout);
  packet.insert(packet.end(), rest.begin(), rest.end());
  return packet;
}

bool HostPort::waitForHangUp(std::chrono::milliseconds timeout) {
  pollfd entry{fd_, POLLIN, 0};
  int ready = ::poll(&entry, 1, static_cast<int>(timeout.count()));
  return ready > 0 && (entry.revents & POLLHUP) != 0;
}

}  // namespace readersim::testing
