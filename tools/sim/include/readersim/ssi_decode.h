// The decode packet of the SSI engines (opcode 0xF3), in its plain and its
// multi-packet form.
//
// Plain: L F3 00 00, the type byte, the data, checksum.
// Multi-packet: L F3 00 00 99, the real type byte, the segment count, the
// first segment, then each further segment introduced by 00 and two bytes
// (its number and its length), checksum. The host drops a zero byte and the
// two bytes after it, so it reads back the type and the data; for the same
// reason the data of this form cannot hold a zero byte. The host counts the
// bytes it reads against the length byte, so this form never carries more
// than one packet does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace readersim::ssi {

inline constexpr std::uint8_t kMultiPacketType = 0x99;
// 255 less the header (4 bytes) and the type byte.
inline constexpr std::size_t kMaxDecodeData = 250;

// Why `type` and `data` cannot go out in `segments` segments (0: the plain
// form; a type of 0x99 always takes the multi-packet form, in which it
// would otherwise be misread); nullopt when they can.
std::optional<std::string> decodeRefusal(std::uint8_t type, std::span<const std::uint8_t> data, int segments);

// The decode packet, checksum included, for what decodeRefusal() accepts.
std::vector<std::uint8_t> makeDecodePacket(std::uint8_t type, std::span<const std::uint8_t> data, int segments);

}  // namespace readersim::ssi
