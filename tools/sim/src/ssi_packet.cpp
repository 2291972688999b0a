#include "readersim/ssi_packet.h"

namespace readersim::ssi {

std::array<std::uint8_t, 2> checksum(std::span<const std::uint8_t> bytes) {
  std::uint16_t sum = 0;
  for (std::uint8_t b : bytes) sum = static_cast<std::uint16_t>(sum + b);
  auto negated = static_cast<std::uint16_t>(-sum);
  return {static_cast<std::uint8_t>(negated >> 8), static_cast<std::uint8_t>(negated & 0xFF)};
}

bool checksumValid(std::span<const std::uint8_t> packet) {
  if (packet.size() < 2) return false;
  auto expected = checksum(packet.first(packet.size() - 2));
  return packet[packet.size() - 2] == expected[0] && packet[packet.size() - 1] == expected[1];
}

std::vector<std::uint8_t> makePacket(std::uint8_t opcode, std::uint8_t source, std::uint8_t status,
                                     std::span<const std::uint8_t> data) {
  std::vector<std::uint8_t> packet;
  packet.reserve(data.size() + 6);
  for (std::uint8_t b : {static_cast<std::uint8_t>(4 + data.size()), opcode, source, status}) packet.push_back(b);
  for (std::uint8_t b : data) packet.push_back(b);
  const auto sum = checksum(packet);
  packet.push_back(sum[0]);
  packet.push_back(sum[1]);
  return packet;
}

std::optional<Packet> parsePacket(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 6 || bytes[0] < 4 || bytes.size() != static_cast<std::size_t>(bytes[0]) + 2) return std::nullopt;
  if (!checksumValid(bytes)) return std::nullopt;
  return Packet{bytes[1], bytes[2], bytes[3], {bytes.begin() + 4, bytes.end() - 2}};
}

}  // namespace readersim::ssi
