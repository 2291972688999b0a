// Good-read feedback after an announced decode: the signal and indicator
// pulses of the audio driver (first handheld model only), the good-read
// sound, and the vibration.
//
// The pulses and the vibration block the calling thread for their length
// (the feedback and vibration threads, or an application calling
// SetVibrator). Every wait goes through `pause`, which tests replace to see
// the lengths without waiting them out.
#pragma once

#include <cstdint>

#include "api/library.h"
#include "platform/clock.h"

namespace reader {

using Pause = void (*)(std::uint32_t ms);

// Pulse lengths are capped: at most 255 ms of signal, 25.5 s of indicator.
inline constexpr int kMaxGoodReadTime = 255;

// The good-read signal for `time` ms. Nothing for 0.
void sendGoodReadSignal(const ReaderDevice &device, int time, Pause pause = platform::sleepMs);

// The good-read indicator for `time` x 100 ms, lit in `mode`. Nothing for 0.
void sendGoodReadIndicator(const ReaderDevice &device, int time, int mode, Pause pause = platform::sleepMs);

// Stops the sound that is playing, then plays good-read sound 1 to 9
// ("\Windows\Default" and the others); another number only stops.
void playGoodReadSound(int number);

// Stops the sound that is playing.
void stopSound();

// Plays a sound file by its full path, without waiting for it to end.
void playSoundFile(const char16_t *path);

// Switches the vibrator on (1) or off (0); true when the driver took it.
bool switchVibrator(int on);

// Vibrator on, `time` x 500 ms, vibrator off (also for 0: a pulse as short
// as the driver makes it).
void pulseVibrator(int time, Pause pause = platform::sleepMs);

// Vibrates for `time` x 500 ms; 0 does nothing.
void vibrate(int time, Pause pause = platform::sleepMs);

// The good-read signal, indicator and sound of one decode, in that order,
// with the library options.
void runGoodReadFeedback(Library &library, Pause pause = platform::sleepMs);

}  // namespace reader
