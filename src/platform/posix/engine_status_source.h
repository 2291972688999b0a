// Where the scan engine's wake-line status is read on Linux: the text of
// READER_ENGINE_STATUS.
//
// Private to the POSIX backend. Forms: a modem status line of the engine's
// own port, "cts", "dsr", "dcd" (also "cd") or "ri"; or a GPIO line,
// "gpio:CHIP:LINE" (a character device path and a line offset, such as
// "gpio:/dev/gpiochip0:17"). A leading '!' inverts the level. The words
// take either case; nothing may stand around them, not even a space.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace reader::platform::posix {

struct EngineStatusSource {
  enum class Kind { ModemLine, Gpio };
  Kind kind = Kind::ModemLine;
  unsigned modemLine = 0;  // a modem_line bit (ModemLine)
  std::string chipPath;    // Gpio
  std::uint32_t gpioLine = 0;
  // The engine is awake when the line is released rather than asserted.
  bool inverted = false;

  bool operator==(const EngineStatusSource &) const = default;
};

// nullopt for a text of no accepted form (the empty text included).
std::optional<EngineStatusSource> parseEngineStatusSource(std::string_view text);

}  // namespace reader::platform::posix
