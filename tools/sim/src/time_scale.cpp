#include "readersim/time_scale.h"

#include <algorithm>
#include <cstdlib>

namespace readersim {

namespace {

int readTimeScale() {
  const char *text = std::getenv("READER_TIME_SCALE");
  if (text == nullptr || *text == '\0') return 1;
  char *end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (*end != '\0' || value < 1 || value > 1000) return 1;
  return static_cast<int>(value);
}

}  // namespace

int timeScale() {
  static const int scale = readTimeScale();
  return scale;
}

std::chrono::milliseconds scaled(std::chrono::milliseconds duration) {
  const int scale = timeScale();
  if (scale == 1 || duration <= std::chrono::milliseconds::zero()) return duration;
  return std::chrono::milliseconds((duration.count() + scale - 1) / scale);
}

std::chrono::milliseconds scaledSilence(std::chrono::milliseconds duration) {
  constexpr std::chrono::milliseconds kShortestSilence{5};
  return std::max(scaled(duration), std::min(duration, kShortestSilence));
}

}  // namespace readersim
