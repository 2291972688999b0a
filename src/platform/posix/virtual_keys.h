// Windows virtual keys (VK_RETURN ...), as the library sends them to the
// keyboard wedge, and the keys that stand for them on Linux: an input key
// code for the virtual keyboard (uinput) and an X keysym for the X display.
//
// Private to the POSIX backend.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace reader::platform::posix {

struct VirtualKeyTarget {
  std::uint16_t code;    // Linux input key code (KEY_ENTER ...)
  std::uint32_t keysym;  // X keysym (XK_Return ...)
};

// The key for `virtualKey`; nullopt for a virtual key the wedge does not know.
std::optional<VirtualKeyTarget> virtualKeyTarget(std::uint8_t virtualKey);

// Every input key code virtualKeyTarget gives, each once.
std::vector<std::uint16_t> virtualKeyCodes();

}  // namespace reader::platform::posix
