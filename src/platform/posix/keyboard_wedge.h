// The keyboard wedge: decoded data typed into whatever has the keyboard
// focus, as if keyed in. READER_KEYBOARD chooses how: "uinput" (a virtual
// keyboard the kernel offers to the console, the X server or a compositor;
// READER_UINPUT_PATH, default /dev/uinput; READER_KEYMAP the layout the
// system reads it with, only "us"), "x11" (key presses through XTEST on
// $DISPLAY, with the display's own keyboard map) or "none" (the default).
//
// Private to the POSIX backend. Safe from any thread; calls are serialised.
// Problems go to reportTerminalProblem; the wedge then does nothing.
#pragma once

#include <cstddef>
#include <cstdint>

namespace reader::platform::posix {

void startKeyboardWedge();  // creates the virtual keyboard (uinput) or opens the display (x11)
void stopKeyboardWedge();   // removes it
// Types characters (32-bit code points) / presses or releases a Windows virtual key (VK_RETURN=0x0D
// etc.) on the wedge; false when no wedge is running. Characters the keymap cannot type are
// skipped and reported once (reportTerminalProblem).
bool wedgeTypeCharacters(const std::int32_t *characters, std::size_t count);
bool wedgeKeyEvent(std::uint8_t virtualKey, bool keyUp);

}  // namespace reader::platform::posix
