// The Linux input layer's key codes by name, as the trigger-key settings
// give them.
//
// Private to the POSIX backend.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace reader::platform::posix {

// The highest key code the input layer has (KEY_MAX).
inline constexpr unsigned kEvdevKeyMax = 0x2ff;

// The key code a setting names: a KEY_ or BTN_ name of the kernel's
// (KEY_F13, btn_trigger_happy1: either case), or a number (decimal, or
// hexadecimal after 0x) from 1 to kEvdevKeyMax. nullopt for anything else.
std::optional<unsigned> evdevKeyCode(std::string_view text);

// The name of a key code (the first one the kernel gives it), or the number
// in decimal when it has none.
std::string evdevKeyName(unsigned code);

}  // namespace reader::platform::posix
