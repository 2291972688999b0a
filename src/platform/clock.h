// Time.
//
// Required of every backend.
#pragma once

#include <cstdint>

namespace reader::platform {

// Blocks the calling thread for at least `ms` milliseconds.
void sleepMs(std::uint32_t ms);

// Milliseconds of a monotonic clock (never set back), for deadlines and
// measurements.
std::uint64_t monotonicMs();

}  // namespace reader::platform
