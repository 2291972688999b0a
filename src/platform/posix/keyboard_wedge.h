// The keyboard the output is typed on: a uinput virtual keyboard, or XTest on
// an X display, as the terminal's configuration names it. Private to the
// POSIX backend.
#pragma once

#include <cstddef>
#include <cstdint>

namespace reader::platform::posix {

// Creates the virtual keyboard (uinput) or opens the display (x11).
void startKeyboardWedge();
// Removes it.
void stopKeyboardWedge();
// Types characters (32-bit code points) / presses or releases a virtual key
// (VK_RETURN 0x0D and so on); false when no wedge runs. Characters the keymap
// cannot type are skipped and reported once.
bool wedgeTypeCharacters(const std::int32_t *characters, std::size_t count);
bool wedgeKeyEvent(std::uint8_t virtualKey, bool keyUp);

}  // namespace reader::platform::posix
