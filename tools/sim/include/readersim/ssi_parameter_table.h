// The SSI engines' parameter table: every parameter the engines know, with
// its power-up default and the engine kinds that have it.
#pragma once

#include <cstdint>
#include <map>
#include <span>

namespace readersim::ssi {

// A parameter number: one-byte numbers as themselves, two-byte numbers
// (prefix 0xF0, then a second byte) as 0xF000 | second byte.
using ParameterNumber = std::uint16_t;

constexpr ParameterNumber twoByte(std::uint8_t second) { return static_cast<ParameterNumber>(0xF000 | second); }
constexpr bool isTwoByte(ParameterNumber number) { return (number & 0xFF00) == 0xF000; }

// The link speed: 6 = 9600, 8 = 38400, 11 = 115200 bit/s.
inline constexpr ParameterNumber kLinkSpeed = 0x9C;

struct ParameterDefault {
  ParameterNumber number;
  std::uint8_t value;
  bool onKind3;
  bool onKind4;
};

std::span<const ParameterDefault> parameterTable();

// The parameters of an engine of `kind` (3 or 4) at their defaults.
std::map<ParameterNumber, std::uint8_t> defaultParameters(int kind);

}  // namespace readersim::ssi
