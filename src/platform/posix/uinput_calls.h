// The system calls behind the keyboard wedge's virtual keyboard (uinput).
//
// Private to the POSIX backend. A test machine has no /dev/uinput, so these
// calls go through one table that a test can replace; normal builds use the
// system's own calls. Each entry behaves as the system call it stands for:
// -1 with errno set on failure.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace reader::platform::posix {

struct UinputCalls {
  // open(path, flags) and close(fd) of the uinput device.
  int (*openDevice)(const char *path, int flags);
  int (*closeDevice)(int fd);
  // ioctl(fd, request, value): the requests that take a number (UI_SET_EVBIT,
  // UI_SET_KEYBIT) or nothing (UI_DEV_CREATE, UI_DEV_DESTROY: value 0).
  int (*controlValue)(int fd, unsigned long request, unsigned long value);
  // ioctl(fd, request, data): the requests that take a structure (UI_DEV_SETUP).
  int (*controlData)(int fd, unsigned long request, void *data);
  // write(fd, bytes, size): input events, or the old-style device description.
  ssize_t (*writeDevice)(int fd, const void *bytes, std::size_t size);
};

// The calls in use: the system's own unless a test replaced them.
const UinputCalls &uinputCalls();

// Tests only: `calls` (every entry set) replaces the system's calls until
// this is called again with nullptr. The table must outlive every call made
// through it: set it before the wedge starts, reset it after it stopped.
void setUinputCallsForTesting(const UinputCalls *calls);

}  // namespace reader::platform::posix
