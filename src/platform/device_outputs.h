// Outputs of the terminal's own drivers: vibrator, audio driver, sounds,
// keystrokes.
//
// Required of every backend. The POSIX backend has none of these devices and
// hands every output to the host's output listener
// (ReaderHostSetOutputListener), so an integrator can route them and tests
// can see them. Safe from any thread; results follow the terminal's drivers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace reader::platform {

// Switches the vibrator on or off. true when the driver took the request.
bool switchVibrator(bool on);

// Sends one 20-byte command record to the audio driver ("WAV1:"). false when
// the driver cannot be opened (nothing is sent then).
bool sendAudioCommand(const std::uint8_t (&record)[20]);

// Plays the sound file at `path` (UTF-16, 0-terminated) with the given flags,
// or, with a null path, stops the sound that is playing.
void playSound(const char16_t *path, std::uint32_t flags);

// Types `count` characters into the window that has the keyboard focus.
void postKeyboardCharacters(const std::int32_t *characters, std::size_t count);

// Presses (keyUp false) or releases a virtual key.
void sendKeyEvent(std::uint8_t virtualKey, bool keyUp);

}  // namespace reader::platform
