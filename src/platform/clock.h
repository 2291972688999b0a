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

// How many times faster than real time the library's time runs: 1, unless a
// test build is told otherwise by READER_TIME_SCALE (2 to 1000), read once.
// Scaled, every wait above (sleepMs, the monotonic clock, the semaphores'
// and the serial ports' time-outs) runs that many times faster, so a test
// spends a tenth of the time waiting out silent devices and fixed pauses,
// and every wait keeps its proportion to every other.
std::uint32_t timeScale();

// The real milliseconds that a wait of `ms` library milliseconds takes;
// kWaitForever stays forever.
std::uint32_t realWaitMs(std::uint32_t ms);

// The same for a wait for a device's bytes, never shortened below the
// smaller of `ms` and a floor: a device that answers in good time is never
// timed out because its answer was scheduled a few milliseconds late on a
// loaded machine.
std::uint32_t realDeviceWaitMs(std::uint32_t ms);

}  // namespace reader::platform
