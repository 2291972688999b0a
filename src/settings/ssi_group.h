// The SSI engines' parameter groups: the settings the library reads and
// writes together, each a fixed list of numbered parameters.
#pragma once

#include <cstdint>

namespace reader {

enum class SsiGroup : std::uint8_t {
  Code39,
  Upc,
  Ean,
  Code128,
  Code93,
  Code11,
  Interleaved2of5,
  Discrete2of5,
  Codabar,
  Msi,
  Postal,
  Rss,
  Composite,
  TwoD,
  Redundancy,
  OptionBC,
  OptionF029,
  Format,
  ScanTime,   // variant 3
  ScanTime4,  // variant 4; its parameter 6 is the channel's aimTime
};
inline constexpr int kSsiGroupCount = 20;
inline constexpr int kMaxSsiParameters = 15;

}  // namespace reader
