// Bytes as the hexadecimal text the modules exchange, for the tests that
// play a module.
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

inline Bytes unhex(const std::string &text) {
  Bytes out;
  for (std::size_t i = 0; i + 1 < text.size(); i += 2)
    out.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
  return out;
}

}  // namespace testing_support
