#include "core/ssi_checksum.h"

namespace reader {

void appendSsiChecksum(ByteString &packet) {
  std::uint16_t sum = 0;
  for (std::uint32_t i = 0; i < packet.length(); ++i) sum = static_cast<std::uint16_t>(sum + packet.byteAt(i));
  const std::uint16_t checksum = static_cast<std::uint16_t>(-sum);
  packet.append(static_cast<std::int16_t>(checksum >> 8));
  packet.append(static_cast<std::int16_t>(checksum & 0xFF));
}

}  // namespace reader
