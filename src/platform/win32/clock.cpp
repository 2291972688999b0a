// Time on Windows: the performance counter for measurements, and sleeps
// checked against it, so a sleep is never shorter than asked.
#include "platform/clock.h"

#include <windows.h>

namespace reader::platform {

std::uint64_t monotonicMs() {
  static const LONGLONG frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f.QuadPart;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<std::uint64_t>(now.QuadPart / frequency * 1000 + now.QuadPart % frequency * 1000 / frequency);
}

void sleepMs(std::uint32_t ms) {
  const std::uint64_t deadline = monotonicMs() + ms;
  Sleep(ms);
  // Sleep may return up to a tick early on some systems.
  for (std::uint64_t now = monotonicMs(); now < deadline; now = monotonicMs())
    Sleep(static_cast<DWORD>(deadline - now));
}

}  // namespace reader::platform
