// The US keyboard layout: which key, with or without shift, types a
// character. The keyboard wedge's virtual keyboard (uinput) sends keys, and
// the system that reads it turns them into characters with its own layout;
// this table is right when that layout is US.
//
// Private to the POSIX backend.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace reader::platform::posix {

struct KeyStroke {
  std::uint16_t code;  // a Linux input key code (KEY_A ...)
  bool shift;          // typed with a shift key held
};

// The stroke that types `character` (a code point): printable ASCII, tab,
// line feed and carriage return (both Enter), backspace and escape; nullopt
// for every other character.
std::optional<KeyStroke> usKeyStroke(char32_t character);

// Every key code usKeyStroke gives, shift included, each once.
std::vector<std::uint16_t> usKeymapKeys();

}  // namespace reader::platform::posix
