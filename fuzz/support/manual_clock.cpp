#include "support/manual_clock.h"

#include "platform/clock.h"

namespace readerfuzz {

namespace {

std::uint64_t nowMs = 0;

}  // namespace

std::uint64_t manualClockMs() { return nowMs; }

void advanceManualClock(std::uint64_t ms) { nowMs += ms; }

void advanceManualClockTo(std::uint64_t ms) {
  if (ms > nowMs) nowMs = ms;
}

}  // namespace readerfuzz

// The platform clock, replaced: a sleep is a step of the clock.
namespace reader::platform {

void sleepMs(std::uint32_t ms) { readerfuzz::advanceManualClock(ms); }

std::uint64_t monotonicMs() { return readerfuzz::manualClockMs(); }

}  // namespace reader::platform
