// A port's claim as another process sees it: the terminal's exclusive flag
// and the advisory lock on the device, read through a descriptor of the
// test's own (root may open an exclusive terminal; the flag is the
// terminal's, so any descriptor reads it).
#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace testing_support {

// TIOCGEXCL: 1 set, 0 clear, -1 when the port cannot be looked at.
inline int exclusiveFlag(const std::string &path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  int exclusive = -1;
  if (::ioctl(fd, TIOCGEXCL, &exclusive) != 0) exclusive = -1;
  ::close(fd);
  return exclusive;
}

// True when another open description holds the device's flock. Neither
// this nor exclusiveFlag changes the claim: the descriptor is closed again
// without a lock taken or a flag cleared.
inline bool lockedByAnother(const std::string &path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);
  return locked;
}

}  // namespace testing_support
