#include "platform/posix/device_calls.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>

namespace reader::platform::posix {
namespace {

int systemModemLines(int fd, unsigned long request, int *bits) { return ::ioctl(fd, request, bits); }
int systemOpen(const char *path, int flags) { return ::open(path, flags); }
int systemClose(int fd) { return ::close(fd); }
int systemControl(int fd, unsigned long request, void *argument) { return ::ioctl(fd, request, argument); }

// Constant-initialised: usable from any static constructor or destructor.
constexpr DeviceCalls kSystemCalls{systemModemLines, systemOpen, systemClose, systemControl};

constinit std::atomic<const DeviceCalls *> gReplacement{nullptr};

}  // namespace

const DeviceCalls &deviceCalls() {
  const DeviceCalls *replacement = gReplacement.load(std::memory_order_acquire);
  return replacement != nullptr ? *replacement : kSystemCalls;
}

void setDeviceCallsForTesting(const DeviceCalls *calls) { gReplacement.store(calls, std::memory_order_release); }

}  // namespace reader::platform::posix
