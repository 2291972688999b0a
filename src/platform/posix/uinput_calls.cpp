#include "platform/posix/uinput_calls.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>

namespace reader::platform::posix {
namespace {

int systemOpen(const char *path, int flags) { return ::open(path, flags | O_CLOEXEC); }
int systemClose(int fd) { return ::close(fd); }
int systemControlValue(int fd, unsigned long request, unsigned long value) { return ::ioctl(fd, request, value); }
int systemControlData(int fd, unsigned long request, void *data) { return ::ioctl(fd, request, data); }
ssize_t systemWrite(int fd, const void *bytes, std::size_t size) { return ::write(fd, bytes, size); }

// Constant-initialised: usable from any static constructor or destructor.
constexpr UinputCalls kSystemCalls{systemOpen, systemClose, systemControlValue, systemControlData, systemWrite};

constinit std::atomic<const UinputCalls *> gReplacement{nullptr};

}  // namespace

const UinputCalls &uinputCalls() {
  const UinputCalls *replacement = gReplacement.load(std::memory_order_acquire);
  return replacement != nullptr ? *replacement : kSystemCalls;
}

void setUinputCallsForTesting(const UinputCalls *calls) { gReplacement.store(calls, std::memory_order_release); }

}  // namespace reader::platform::posix
