// A bare pseudo-terminal for tests that feed a channel hand-made bytes: the
// test holds the master end, the library opens the slave through
// READER_COM<n>.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace testing_support {

class RawPty {
 public:
  explicit RawPty(int portNumber) : portNumber_(portNumber) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) throw std::runtime_error("no pseudo-terminal");
    termios t{};
    tcgetattr(master_, &t);
    cfmakeraw(&t);
    tcsetattr(master_, TCSANOW, &t);
    path_ = ptsname(master_);
    setenv(("READER_COM" + std::to_string(portNumber)).c_str(), path_.c_str(), 1);
  }
  ~RawPty() {
    unsetenv(("READER_COM" + std::to_string(portNumber_)).c_str());
    if (master_ >= 0) close(master_);
  }
  RawPty(const RawPty &) = delete;
  RawPty &operator=(const RawPty &) = delete;

  void send(const std::vector<std::uint8_t> &bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
      if (n <= 0) throw std::runtime_error("pty write failed");
      done += static_cast<std::size_t>(n);
    }
  }
  void send(const std::string &text) { send(std::vector<std::uint8_t>(text.begin(), text.end())); }

  // Everything the host wrote, waiting up to `timeout` for the first byte and
  // then until the line is quiet for 50 ms.
  std::vector<std::uint8_t> receive(std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    std::vector<std::uint8_t> bytes;
    int wait = static_cast<int>(timeout.count());
    for (;;) {
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, wait) <= 0 || !(p.revents & POLLIN)) return bytes;
      std::uint8_t buffer[4096];
      const ssize_t n = read(master_, buffer, sizeof buffer);
      if (n <= 0) return bytes;
      bytes.insert(bytes.end(), buffer, buffer + n);
      wait = 50;
    }
  }

  void closeMaster() {
    close(master_);
    master_ = -1;
  }

  const std::string &path() const { return path_; }

 private:
  int portNumber_;
  int master_ = -1;
  std::string path_;
};

}  // namespace testing_support
