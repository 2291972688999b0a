#include "readersim/pseudo_terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <system_error>

#include "readersim/line_speed.h"

namespace readersim {
namespace {

[[noreturn]] void fail(const char *what) { throw std::system_error(errno, std::generic_category(), what); }

}  // namespace

PseudoTerminal::PseudoTerminal() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master_ < 0) fail("posix_openpt");
  char path[PATH_MAX];
  if (grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, path, sizeof path) != 0) {
    int error = errno;
    ::close(master_);
    errno = error;
    fail("pseudo-terminal set-up");
  }
  slavePath_ = path;

  // Through the master, tcsetattr acts on the slave's settings: a host that
  // forgets raw mode still gets the bytes unchanged.
  termios settings{};
  if (tcgetattr(master_, &settings) == 0) {
    cfmakeraw(&settings);
    tcsetattr(master_, TCSANOW, &settings);
  }

  int slave = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (slave >= 0) ::close(slave);
}

PseudoTerminal::~PseudoTerminal() {
  close();
  if (numberKeeper_ >= 0) ::close(numberKeeper_);
}

std::optional<int> PseudoTerminal::hostSpeed() const {
  if (master_ < 0) return std::nullopt;
  termios settings{};
  if (tcgetattr(master_, &settings) != 0) return std::nullopt;
  return bitsPerSecond(cfgetospeed(&settings));
}

short PseudoTerminal::pollNow() const {
  if (master_ < 0) return POLLNVAL;
  pollfd entry{master_, POLLIN, 0};
  int ready;
  do {
    ready = ::poll(&entry, 1, 0);
  } while (ready < 0 && errno == EINTR);
  return ready > 0 ? entry.revents : 0;
}

bool PseudoTerminal::writeAll(std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    if (master_ < 0) return false;
    ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return false;
    pollfd entry{master_, POLLOUT, 0};
    int ready = ::poll(&entry, 1, 1000);
    if (ready == 0 || (ready > 0 && (entry.revents & POLLOUT) == 0)) return false;
  }
  return true;
}

void PseudoTerminal::close() {
  if (master_ >= 0) ::close(master_);
  master_ = -1;
}

void PseudoTerminal::vanish() {
  // A host holding the terminal exclusively keeps others out (unless they
  // are root); its own descriptor then keeps the number taken until it
  // closes it.
  if (master_ >= 0 && numberKeeper_ < 0)
    numberKeeper_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  close();
}

}  // namespace readersim
