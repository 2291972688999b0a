#include "allocation_failure.h"

#include <pthread.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

namespace resource_testing {
namespace {

std::atomic<bool> gArmed{false};
char gVictim[16] = {};

bool onVictimThread() {
  char name[16] = {};
  if (pthread_getname_np(pthread_self(), name, sizeof name) != 0) return false;
  return std::strncmp(name, gVictim, sizeof name) == 0;
}

}  // namespace

void failNextAllocationOn(const char *threadName) {
  std::strncpy(gVictim, threadName, sizeof gVictim - 1);
  gArmed = true;
}

bool allocationFailurePending() { return gArmed; }

}  // namespace resource_testing

void *operator new(std::size_t size) {
  using namespace resource_testing;
  if (gArmed.load(std::memory_order_acquire) && onVictimThread() && gArmed.exchange(false)) throw std::bad_alloc();
  if (void *memory = std::malloc(size != 0 ? size : 1)) return memory;
  throw std::bad_alloc();
}

void operator delete(void *memory) noexcept { std::free(memory); }
void operator delete(void *memory, std::size_t) noexcept { std::free(memory); }
