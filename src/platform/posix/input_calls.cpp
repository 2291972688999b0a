#include "platform/posix/input_calls.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>

namespace reader::platform::posix {
namespace {

int systemOpen(const char *path, int flags) { return ::open(path, flags); }
int systemClose(int fd) { return ::close(fd); }
ssize_t systemRead(int fd, void *buffer, std::size_t size) { return ::read(fd, buffer, size); }
int systemControl(int fd, unsigned long request, void *argument) { return ::ioctl(fd, request, argument); }

// Constant-initialised: usable from any static constructor or destructor.
constexpr InputCalls kSystemCalls{systemOpen, systemClose, systemRead, systemControl, "/dev/input"};

constinit std::atomic<const InputCalls *> gReplacement{nullptr};

}  // namespace

const InputCalls &inputCalls() {
  const InputCalls *replacement = gReplacement.load(std::memory_order_acquire);
  return replacement != nullptr ? *replacement : kSystemCalls;
}

void setInputCallsForTesting(const InputCalls *calls) { gReplacement.store(calls, std::memory_order_release); }

}  // namespace reader::platform::posix
