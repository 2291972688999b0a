// A clock that moves only when told: the platform's sleepMs() and
// monotonicMs() for fuzz targets, so that waits cost no real time and every
// run of an input sees the same times.
//
// Linking manual_clock.cpp replaces the platform clock for the whole
// process (the library's own clock is then not linked in). Only for
// single-threaded targets: a thread that sleeps on this clock never wakes
// another that waits on the real one.
#pragma once

#include <cstdint>

namespace readerfuzz {

// Now, in milliseconds since the process started using the clock.
std::uint64_t manualClockMs();

// Moves the clock forward by `ms`.
void advanceManualClock(std::uint64_t ms);

// Moves the clock to `ms` when that is later than now.
void advanceManualClockTo(std::uint64_t ms);

}  // namespace readerfuzz
