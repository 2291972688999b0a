// What the scan benchmarks share: the moment each barcode announcement
// (WM_DECODEDATA with wParam 7) reaches the broadcast listener, a dispatch
// loop that waits for it, percentiles and the bytes' time on a line.
#pragma once

#include <3100XE_DLL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline std::atomic<int> gAnnounced{0};
inline std::atomic<std::int64_t> gAnnouncedAtNs{0};

inline std::int64_t nowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

// The broadcast listener that counts and times the announcements.
inline void onBroadcast(const char *message, long wParam, long, void *) {
  if (std::strcmp(message, "WM_DECODEDATA") != 0 || wParam != 7) return;
  gAnnouncedAtNs = nowNs();
  ++gAnnounced;
}

// Dispatches until `announced` announcements have come; false after
// `patience`.
inline bool dispatchUntil(int announced, std::chrono::milliseconds patience) {
  const auto deadline = Clock::now() + patience;
  while (gAnnounced < announced) {
    if (Clock::now() > deadline) return false;
    ReaderHostDispatch(100);  // returns once a message has been dispatched
  }
  return true;
}

inline double percentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
  return values[std::min(index, values.size() - 1)];
}

// Milliseconds `bytes` take at `speed` bit/s, 10 bits a byte.
inline double byteMs(std::size_t bytes, int speed) { return speed > 0 ? bytes * 10.0 * 1000.0 / speed : 0.0; }

}  // namespace bench
