// The process identifier, kept up to date across fork() without asking the
// kernel on every call.
#include "platform/process.h"

#include <pthread.h>
#include <unistd.h>

#include <atomic>

#include "platform/posix/process_state.h"

namespace reader::platform {
namespace {

std::atomic<std::uint64_t> gProcessId{0};

void noteProcessId() { gProcessId.store(static_cast<std::uint64_t>(getpid()), std::memory_order_relaxed); }

struct ProcessIdWatch {
  ProcessIdWatch() {
    noteProcessId();
    pthread_atfork(nullptr, nullptr, noteProcessId);
  }
};

READER_PROCESS_STATE ProcessIdWatch gWatch;

}  // namespace

std::uint64_t currentProcessId() {
  const std::uint64_t known = gProcessId.load(std::memory_order_relaxed);
  return known != 0 ? known : static_cast<std::uint64_t>(getpid());
}

}  // namespace reader::platform
