// Line speeds: bit/s values, their termios codes and the time one byte takes.
#pragma once

#include <termios.h>

#include <chrono>
#include <optional>

namespace readersim {

// The termios code of a speed in bit/s (1200 to 230400); nullopt for any
// other value.
std::optional<speed_t> speedCode(int bitsPerSecond);

// The speed in bit/s of a termios code; nullopt for codes outside the table.
std::optional<int> bitsPerSecond(speed_t code);

// The time one byte takes on the line: 10 bits (start, 8 data, stop).
std::chrono::nanoseconds byteTime(int bitsPerSecond);

}  // namespace readersim
