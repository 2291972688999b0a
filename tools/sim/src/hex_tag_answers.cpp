#include "readersim/hex_tag_answers.h"

#include <algorithm>

#include "readersim/hex_text.h"

namespace readersim {
namespace {

constexpr int kInventorySlots = 16;
// Application data and protocol info of the simulated type B tags' ATQB.
constexpr std::string_view kAtqbTail = "00000000007181";

std::string hexByte(std::uint8_t value) {
  const std::uint8_t one[1] = {value};
  return toHexText(one);
}

std::string inventoryAnswer(std::span<const SimTag *const> tags) {
  std::string text;
  for (int slot = 0; slot < kInventorySlots; ++slot) {
    std::vector<const SimTag *> inSlot;
    for (const SimTag *tag : tags) {
      if ((tag->uid().back() & 0x0F) == slot) inSlot.push_back(tag);
    }
    if (inSlot.empty()) {
      text += "[,]";
    } else if (inSlot.size() > 1) {
      text += "[z,]";
    } else {
      std::vector<std::uint8_t> bytes{inSlot[0]->responseFlags()};
      bytes.insert(bytes.end(), inSlot[0]->uid().rbegin(), inSlot[0]->uid().rend());
      text += "[" + toHexText(bytes) + ",]";
    }
  }
  return text;
}

}  // namespace

std::string hexNoTagAnswer(AirProtocol protocol) {
  switch (protocol) {
    case AirProtocol::Iso14443A: return "";
    case AirProtocol::Iso15693: return "[,]";
    default: return "[]";
  }
}

std::string hexDetectionAnswer(AirProtocol protocol, std::span<const SimTag *const> tags) {
  if (tags.empty()) return protocol == AirProtocol::Iso15693 ? inventoryAnswer(tags) : hexNoTagAnswer(protocol);
  const SimTag &tag = *tags.front();
  switch (protocol) {
    case AirProtocol::Iso14443A: return "[" + tag.uidText() + hexByte(tag.info().sak) + "]";
    case AirProtocol::Iso14443B: return "[50" + tag.uidText() + std::string(kAtqbTail) + "]";
    case AirProtocol::TagIt: {
      std::vector<std::uint8_t> bytes{0x00, 0x00};
      bytes.insert(bytes.end(), tag.uid().begin(), tag.uid().end());
      for (std::uint8_t b : {std::uint8_t{0x00}, std::uint8_t{0x00}, tag.tagitInfo(),
                             static_cast<std::uint8_t>(std::min(tag.blockCount(), 255))}) {
        bytes.push_back(b);
      }
      return "[" + toHexText(bytes) + "]";
    }
    case AirProtocol::Iso15693: return inventoryAnswer(tags);
    case AirProtocol::None: break;
  }
  return hexNoTagAnswer(protocol);
}

std::array<std::uint8_t, 5> shiftTagitBlock(std::span<const std::uint8_t, 4> block) {
  std::array<std::uint8_t, 5> shifted{};
  std::uint8_t carry = 0xC0;  // the two bits before the block
  for (std::size_t i = 0; i < 4; ++i) {
    shifted[i] = static_cast<std::uint8_t>(carry | block[i] >> 2);
    carry = static_cast<std::uint8_t>(block[i] << 6);
  }
  shifted[4] = static_cast<std::uint8_t>(carry | 0x3F);
  return shifted;
}

std::string tagitReadAnswer(int block, std::span<const std::uint8_t, 4> data) {
  std::array<std::uint8_t, 8> bytes{0x00, static_cast<std::uint8_t>(block), 0x00};
  auto shifted = shiftTagitBlock(data);
  std::copy(shifted.begin(), shifted.end(), bytes.begin() + 3);
  return "[" + toHexText(bytes) + "]";
}

std::string vicinityAnswer(std::uint8_t flags, std::span<const std::uint8_t> data) {
  std::vector<std::uint8_t> bytes{flags};
  bytes.insert(bytes.end(), data.begin(), data.end());
  return "[" + toHexText(bytes) + "]";
}

std::string vicinityError(std::uint8_t code) {
  const std::uint8_t bytes[2] = {0x01, code};
  return "[" + toHexText(bytes) + "]";
}

}  // namespace readersim
