// Bytes as the hexadecimal text the modules exchange, and recognisable byte
// runs for tag memory, for the tests that play a module or its tags.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace testing_support {

using Bytes = std::vector<std::uint8_t>;

inline std::string hex(const Bytes &bytes) {
  std::string out;
  char digits[3];
  for (std::uint8_t b : bytes) {
    std::snprintf(digits, sizeof digits, "%02X", b);
    out += digits;
  }
  return out;
}

// n bytes counting up from `first` (wrapping), so a shifted or cut copy shows.
inline Bytes pattern(std::size_t n, std::uint8_t first = 0) {
  Bytes out(n);
  for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>(first + i);
  return out;
}

inline Bytes unhex(const std::string &text) {
  Bytes out;
  for (std::size_t i = 0; i + 1 < text.size(); i += 2)
    out.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
  return out;
}

}  // namespace testing_support
