// The thread-start failures tests inject (see thread.h).
#include <mutex>

#include "platform/thread.h"

namespace reader::platform {

namespace {

std::mutex gMutex;
int gSkip = 0;
int gFailing = 0;

}  // namespace

void failNextThreadStarts(int count, int skip) {
  std::lock_guard lock(gMutex);
  gFailing = count > 0 ? count : 0;
  gSkip = skip > 0 ? skip : 0;
}

bool takeInjectedThreadStartFailure() {
  std::lock_guard lock(gMutex);
  if (gFailing == 0) return false;
  if (gSkip > 0) {
    --gSkip;
    return false;
  }
  --gFailing;
  return true;
}

}  // namespace reader::platform
