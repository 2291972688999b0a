// SSI packets: length L (bytes without the checksum), opcode, source,
// status, data, then a two-byte checksum.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace readersim::ssi {

inline constexpr std::uint8_t kOpcodeRevisionRequest = 0xA3;
inline constexpr std::uint8_t kOpcodeRevisionReply = 0xA4;
inline constexpr std::uint8_t kOpcodeAimOff = 0xC4;
inline constexpr std::uint8_t kOpcodeAimOn = 0xC5;
inline constexpr std::uint8_t kOpcodeParamSend = 0xC6;
inline constexpr std::uint8_t kOpcodeParamRequest = 0xC7;
inline constexpr std::uint8_t kOpcodeSetDefaults = 0xC8;
inline constexpr std::uint8_t kOpcodeAck = 0xD0;
inline constexpr std::uint8_t kOpcodeNak = 0xD1;
inline constexpr std::uint8_t kOpcodeStartDecode = 0xE4;
inline constexpr std::uint8_t kOpcodeStopDecode = 0xE5;
inline constexpr std::uint8_t kOpcodeDecodeData = 0xF3;

inline constexpr std::uint8_t kSourceEngine = 0x00;
inline constexpr std::uint8_t kSourceHost = 0x04;

// NAK causes.
inline constexpr std::uint8_t kNakResend = 0x01;      // bad checksum: send it again
inline constexpr std::uint8_t kNakBadContext = 0x02;  // not understood
inline constexpr std::uint8_t kNakDenied = 0x06;

// Two-byte parameter numbers have the prefix byte 0xF0.
inline constexpr std::uint8_t kTwoBytePrefix = 0xF0;
inline constexpr std::uint8_t kBeepNone = 0xFF;

// The 16-bit two's complement of the byte sum, high byte first.
std::array<std::uint8_t, 2> checksum(std::span<const std::uint8_t> bytes);

// Whether the last two bytes are the checksum of the ones before them.
bool checksumValid(std::span<const std::uint8_t> packetWithChecksum);

// L, opcode, source, status, data, checksum; L is set from the data.
std::vector<std::uint8_t> makePacket(std::uint8_t opcode, std::uint8_t source, std::uint8_t status,
                                     std::span<const std::uint8_t> data = {});

struct Packet {
  std::uint8_t opcode = 0;
  std::uint8_t source = 0;
  std::uint8_t status = 0;
  std::vector<std::uint8_t> data;

  bool operator==(const Packet &) const = default;
};

// A whole packet, checksum included: nullopt when the length byte, the size
// or the checksum does not fit.
std::optional<Packet> parsePacket(std::span<const std::uint8_t> bytes);

}  // namespace readersim::ssi
