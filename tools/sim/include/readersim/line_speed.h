// Line speeds: bit/s values, their termios codes and the time one byte takes.
#pragma once

#include <termios.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>

namespace readersim {

// The termios code of a speed in bit/s (1200 to 230400); nullopt for any
// other value.
std::optional<speed_t> speedCode(int bitsPerSecond);

// The speed in bit/s of a termios code; nullopt for codes outside the table.
std::optional<int> bitsPerSecond(speed_t code);

// The time one byte takes on the line: 10 bits (start, 8 data, stop).
std::chrono::nanoseconds byteTime(int bitsPerSecond);

// A device's own numbering of the speeds it can switch to: code, bit/s.
using DeviceSpeedCodes = std::span<const std::pair<std::uint8_t, int>>;
std::optional<int> speedOfDeviceCode(DeviceSpeedCodes codes, std::uint8_t code);
std::optional<std::uint8_t> deviceCodeOfSpeed(DeviceSpeedCodes codes, int bitsPerSecond);

}  // namespace readersim
