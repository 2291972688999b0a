// Hexadecimal text as the devices speak it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace readersim {

// Two uppercase digits per byte, no separators ("0A1B").
std::string toHexText(std::span<const std::uint8_t> bytes);

// Strict inverse of toHexText: an even number of hexadecimal digits of
// either case, nothing else; nullopt otherwise.
std::optional<std::vector<std::uint8_t>> fromHexText(std::string_view text);

// The value of one hexadecimal digit of either case, or nullopt.
std::optional<std::uint8_t> hexDigit(char c);

// Bytes as spaced uppercase pairs for people ("0A 1B").
std::string hexDump(std::span<const std::uint8_t> bytes);

// The bytes of a text, one per character.
std::vector<std::uint8_t> bytesOf(std::string_view text);

}  // namespace readersim
