// The system calls behind the trigger keys' input event devices.
//
// Private to the POSIX backend. A test machine has no input devices, so the
// calls on them go through one table that a test can replace (a FIFO then
// stands for the device, and the test answers the ioctls); normal builds use
// the system's own calls. Each entry behaves as the system call it stands
// for: -1 with errno set on failure.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace reader::platform::posix {

struct InputCalls {
  // open(path, flags) and close(fd) of an event device.
  int (*openDevice)(const char *path, int flags);
  int (*closeDevice)(int fd);
  // read(fd, buffer, size): whole or partial struct input_event records.
  ssize_t (*readDevice)(int fd, void *buffer, std::size_t size);
  // ioctl(fd, request, argument): EVIOCGNAME, EVIOCGBIT, EVIOCGKEY, EVIOCGRAB
  // (whose argument is the value itself, not a pointer).
  int (*control)(int fd, unsigned long request, void *argument);
  // The directory searched for "name:" devices (its event* entries).
  const char *inputDirectory;
};

// The calls in use: the system's own unless a test replaced them.
const InputCalls &inputCalls();

// Tests only: `calls` (every entry set) replaces the system's calls until
// this is called again with nullptr. The table must outlive every call made
// through it: set it before the trigger keys start, reset it after they
// stopped.
void setInputCallsForTesting(const InputCalls *calls);

}  // namespace reader::platform::posix
