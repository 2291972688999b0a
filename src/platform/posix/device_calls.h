// The system calls behind the modem lines and the GPIO lines.
//
// Private to the POSIX backend. Pseudo-terminals have no modem lines and a
// test machine has no GPIO chip, so these calls go through one table that a
// test can replace; normal builds use the system's own calls. Each entry
// behaves as the system call it stands for: -1 with errno set on failure.
#pragma once

namespace reader::platform::posix {

struct DeviceCalls {
  // ioctl(fd, request, bits) with TIOCMGET, TIOCMBIS or TIOCMBIC.
  int (*modemLines)(int fd, unsigned long request, int *bits);
  // open(path, flags) and close(fd) of a GPIO chip or line.
  int (*openDevice)(const char *path, int flags);
  int (*closeDevice)(int fd);
  // ioctl(fd, request, argument) on a GPIO chip or line.
  int (*gpioControl)(int fd, unsigned long request, void *argument);
};

// The calls in use: the system's own unless a test replaced them.
const DeviceCalls &deviceCalls();

// Tests only: `calls` (every entry set) replaces the system's calls until
// this is called again with nullptr. The table must outlive every call made
// through it: set it before the library starts, reset it after it halted.
void setDeviceCallsForTesting(const DeviceCalls *calls);

}  // namespace reader::platform::posix
