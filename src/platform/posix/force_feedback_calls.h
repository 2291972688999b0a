// The system calls that drive a force-feedback (rumble) input device, as
// replaceable function pointers: tests stand in for /dev/input, which a
// test machine's kernel may not have.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace reader::platform::posix {

struct ForceFeedbackCalls {
  int (*open)(const char *path, int flags);
  // EVIOCSFF (upload an effect; `argument` is a struct ff_effect) or EVIOCRMFF.
  int (*ioctl)(int fd, unsigned long request, void *argument);
  ssize_t (*write)(int fd, const void *buffer, std::size_t size);
  int (*close)(int fd);
};

// The calls in use: the system's, unless a test has replaced them.
ForceFeedbackCalls &forceFeedbackCalls();

// The system's own calls, for a test to put back.
ForceFeedbackCalls systemForceFeedbackCalls();

}  // namespace reader::platform::posix
