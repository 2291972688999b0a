#include "readersim/line_speed.h"

#include <array>
#include <utility>

namespace readersim {
namespace {

constexpr std::array<std::pair<int, speed_t>, 9> kSpeeds{{
    {1200, B1200},
    {2400, B2400},
    {4800, B4800},
    {9600, B9600},
    {19200, B19200},
    {38400, B38400},
    {57600, B57600},
    {115200, B115200},
    {230400, B230400},
}};

}  // namespace

std::optional<speed_t> speedCode(int bps) {
  for (const auto &[value, code] : kSpeeds) {
    if (value == bps) return code;
  }
  return std::nullopt;
}

std::optional<int> bitsPerSecond(speed_t code) {
  for (const auto &[value, known] : kSpeeds) {
    if (known == code) return value;
  }
  return std::nullopt;
}

std::chrono::nanoseconds byteTime(int bps) {
  if (bps <= 0) return std::chrono::nanoseconds(0);
  return std::chrono::nanoseconds(10LL * 1'000'000'000LL / bps);
}

std::optional<int> speedOfDeviceCode(DeviceSpeedCodes codes, std::uint8_t code) {
  for (const auto &[known, speed] : codes)
    if (known == code) return speed;
  return std::nullopt;
}

std::optional<std::uint8_t> deviceCodeOfSpeed(DeviceSpeedCodes codes, int bitsPerSecond) {
  for (const auto &[code, speed] : codes)
    if (speed == bitsPerSecond) return code;
  return std::nullopt;
}

}  // namespace readersim
