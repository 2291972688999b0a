#include "platform/posix/force_feedback_calls.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace reader::platform::posix {

ForceFeedbackCalls systemForceFeedbackCalls() {
  return ForceFeedbackCalls{
      [](const char *path, int flags) { return ::open(path, flags); },
      [](int fd, unsigned long request, void *argument) { return ::ioctl(fd, request, argument); },
      [](int fd, const void *buffer, std::size_t size) { return ::write(fd, buffer, size); },
      [](int fd) { return ::close(fd); },
  };
}

ForceFeedbackCalls &forceFeedbackCalls() {
  static ForceFeedbackCalls calls = systemForceFeedbackCalls();
  return calls;
}

}  // namespace reader::platform::posix
