// The devices' own timing in test runs that speed the library's clock up.
//
// READER_TIME_SCALE (2 to 1000) tells the library that a test wants its time
// to run that many times faster; the simulated devices follow with theirs
// (decode delays, repeat intervals, scan sessions, trickles), so that every
// device time keeps its proportion to the library's waits. Byte timing on
// the line (pacing) is not scaled: tests that pace run on the real clock.
#pragma once

#include <chrono>

namespace readersim {

// 1 when READER_TIME_SCALE is unset or not a number from 2 to 1000; read once.
int timeScale();

// `duration` of device time in real time: divided by the scale, rounded up.
std::chrono::milliseconds scaled(std::chrono::milliseconds duration);

// The silence after which a device drops a partial frame, scaled with the
// rest (the host's retries come that much sooner), but never below the
// smaller of `duration` and 5 ms: bytes written together are never cut
// apart by a thread scheduled late.
std::chrono::milliseconds scaledSilence(std::chrono::milliseconds duration);

}  // namespace readersim
