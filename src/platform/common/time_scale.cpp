// The time scale of test builds, the same for every backend.
#include <cstdlib>

#include "platform/clock.h"
#include "platform/common/environment_text.h"
#include "platform/platform_types.h"

namespace reader::platform {

namespace {

// Below this a device wait is not shortened: scheduling delays of a loaded
// machine stay well inside it.
constexpr std::uint32_t kDeviceWaitFloorMs = 25;

std::uint32_t readTimeScale() {
#ifdef READER_TIME_SCALING
  constexpr std::uint32_t kLargestScale = 1000;
  char text[16] = {};
  if (!common::copyEnvironmentText("READER_TIME_SCALE", text, sizeof text)) return 1;
  char *end = nullptr;
  const unsigned long value = std::strtoul(text, &end, 10);
  if (end == text || *end != '\0' || value < 1 || value > kLargestScale) return 1;
  return static_cast<std::uint32_t>(value);
#else
  return 1;
#endif
}

}  // namespace

std::uint32_t timeScale() {
  static const std::uint32_t scale = readTimeScale();
  return scale;
}

std::uint32_t realWaitMs(std::uint32_t ms) {
  const std::uint32_t scale = timeScale();
  if (scale == 1 || ms == kWaitForever) return ms;
  return (ms + scale - 1) / scale;
}

std::uint32_t realDeviceWaitMs(std::uint32_t ms) {
  if (ms == kWaitForever) return ms;
  const std::uint32_t floor = ms < kDeviceWaitFloorMs ? ms : kDeviceWaitFloorMs;
  const std::uint32_t scaled = realWaitMs(ms);
  return scaled > floor ? scaled : floor;
}

}  // namespace reader::platform
