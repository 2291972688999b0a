#include "readersim/ssi_decode.h"

#include <algorithm>

#include "readersim/ssi_packet.h"

namespace readersim::ssi {
namespace {

// 0x99, the real type and the segment count.
constexpr std::size_t kMultiHeader = 3;
constexpr std::size_t kSegmentIntro = 3;

int segmentCount(std::uint8_t type, int segments) {
  if (segments == 0 && type == kMultiPacketType) return 1;
  return segments;
}

}  // namespace

std::optional<std::string> decodeRefusal(std::uint8_t type, std::span<const std::uint8_t> data, int segments) {
  const int count = segmentCount(type, segments);
  if (count == 0) {
    if (data.size() <= kMaxDecodeData) return std::nullopt;
    return std::to_string(data.size()) + " data bytes do not fit in an SSI decode packet (at most " +
           std::to_string(kMaxDecodeData) + ")";
  }
  if (count < 0 || count > 255) return "an SSI decode has 1 to 255 segments";
  if (static_cast<std::size_t>(count) > std::max<std::size_t>(data.size(), 1)) {
    return "more segments than data bytes";
  }
  if (std::find(data.begin(), data.end(), 0) != data.end()) {
    return "the multi-packet form cannot carry a zero byte (it introduces a segment)";
  }
  std::size_t size = kMultiHeader + data.size() + kSegmentIntro * static_cast<std::size_t>(count - 1);
  if (size > kMaxDecodeData + 1) {
    return std::to_string(data.size()) + " data bytes in " + std::to_string(count) +
           " segments do not fit in an SSI decode packet";
  }
  return std::nullopt;
}

std::vector<std::uint8_t> makeDecodePacket(std::uint8_t type, std::span<const std::uint8_t> data, int segments) {
  std::vector<std::uint8_t> payload;
  const int count = segmentCount(type, segments);
  if (count == 0) {
    payload.push_back(type);
    payload.insert(payload.end(), data.begin(), data.end());
    return makePacket(kOpcodeDecodeData, kSourceEngine, 0, payload);
  }
  payload = {kMultiPacketType, type, static_cast<std::uint8_t>(count)};
  // Segments as even as can be, the longer ones first.
  const std::size_t base = data.size() / static_cast<std::size_t>(count);
  const std::size_t longer = data.size() % static_cast<std::size_t>(count);
  std::size_t at = 0;
  for (int k = 0; k < count; ++k) {
    std::size_t length = base + (static_cast<std::size_t>(k) < longer ? 1 : 0);
    if (k > 0) {
      payload.push_back(0x00);
      payload.push_back(static_cast<std::uint8_t>(k + 1));
      payload.push_back(static_cast<std::uint8_t>(length));
    }
    auto segment = data.subspan(at, length);
    payload.insert(payload.end(), segment.begin(), segment.end());
    at += length;
  }
  return makePacket(kOpcodeDecodeData, kSourceEngine, 0, payload);
}

}  // namespace readersim::ssi
