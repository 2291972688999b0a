// How the host reads the RFID modules' tag answers, written out again from
// its rules so that the simulators' answers are checked against them and
// not against the simulators' own code.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "readersim/hex_text.h"

namespace readersim::testing {

// Kind 5: the TagType of a tag line by its first letter, its length and,
// for 'V', characters 3 and 4; 0 when the host knows none.
inline int asciiLineTagType(std::string_view line) {
  if (line.empty()) return 0;
  switch (line[0]) {
    case 'I': return 1;
    case 'M': return line.size() - 1 == 14 ? 2 : line.size() - 1 == 16 ? 4 : 3;
    case 'S': return 6;
    case 'T': return 8;
    case 'Z': return 5;
    case 'V': {
      if (line.size() < 5) return 0;
      std::string_view code = line.substr(3, 2);
      return code == "02" ? 9 : code == "04" ? 10 : code == "05" ? 11 : code == "07" ? 13 : code == "16" ? 14 : 16;
    }
    default: return 0;
  }
}

// The host's second look at a kind-5 tag: the byte count of block 0.
inline int refinedTagType(int tagType, std::size_t blockZeroBytes) {
  if (tagType == 6 && blockZeroBytes == 4) return 7;
  if (tagType == 11 && blockZeroBytes == 8) return 12;
  if (tagType == 14 && blockZeroBytes == 8) return 15;
  return tagType;
}

// Kind 6: the payload of an answer by protocol selector (3, 5, 8, 16);
// nullopt where the host finds none.
inline std::optional<std::string> answerPayload(int selector, std::string_view text) {
  if (text.empty()) return std::nullopt;
  if (selector == 3) {
    std::size_t open = text.find('[');
    std::size_t close = open == text.npos ? text.npos : text.find(']', open);
    if (close == text.npos || close - open - 1 < 2) return std::nullopt;
    return std::string(text.substr(open + 1, close - open - 1 - 2));
  }
  if (selector == 5 || selector == 8) {
    for (std::size_t open = text.find('['); open != text.npos; open = text.find('[', open + 1)) {
      std::size_t close = text.find(']', open);
      if (close == text.npos) return std::nullopt;
      if (close > open + 1) return std::string(text.substr(open + 1, close - open - 1));
    }
    return std::nullopt;
  }
  if (selector == 16) {
    for (std::size_t open = 0; open + 1 < text.size(); ++open) {
      if (text[open] != '[' || text[open + 1] == ',') continue;
      std::size_t end = text.find(',', open);
      if (end == text.npos) end = text.find(']', open);
      if (end == text.npos) end = text.size() - 2;
      if (end < open + 1) return std::string();
      return std::string(text.substr(open + 1, end - open - 1));
    }
  }
  return std::nullopt;
}

// UID mode and the UID cut from the field.
inline std::optional<std::string> answerUid(int selector, std::string_view text) {
  auto payload = answerPayload(selector, text);
  if (!payload) return std::nullopt;
  if (selector == 16) {
    auto bytes = fromHexText(*payload);
    if (!bytes) return std::nullopt;
    return toHexText(std::vector<std::uint8_t>(bytes->rbegin(), bytes->rend()));
  }
  if (selector == 5 && payload->size() >= 10) return payload->substr(2, 8);
  if (selector == 8 && payload->size() == 20) return payload->substr(4, 8);
  return payload;
}

// Tag-it detection field: bytes 8 (information) and 9 (block count).
inline std::pair<int, int> tagitCounts(std::string_view field) {
  auto bytes = fromHexText(field);
  if (field.size() != 20 || !bytes) return {0, 0};
  return {(*bytes)[8], (*bytes)[9]};
}

// ISO 15693 data mode: the payload decoded, response flags dropped.
inline std::optional<std::vector<std::uint8_t>> vicinityData(std::string_view text) {
  auto payload = answerPayload(16, text);
  auto bytes = payload ? fromHexText(*payload) : std::nullopt;
  if (!bytes || bytes->empty()) return std::nullopt;
  bytes->erase(bytes->begin());
  return bytes;
}

// Tag-it block bytes arrive shifted by two bits at characters 6 to 15.
inline std::vector<std::uint8_t> realignTagitBlock(std::string_view field) {
  auto b = field.size() >= 16 ? fromHexText(field.substr(6, 10)) : std::nullopt;
  if (!b) return {};
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i < 4; ++i)
    out.push_back(static_cast<std::uint8_t>(((*b)[i] & 0x3F) << 2 | (*b)[i + 1] >> 6));
  return out;
}

// A kind-6 module frame as hexadecimal text: 01 LL 00 03 04, command and
// parameters, 00 00.
inline std::string moduleFrame(std::vector<std::uint8_t> commandAndParameters) {
  std::vector<std::uint8_t> frame{0x01, 0x00, 0x00, 0x03, 0x04};
  frame.insert(frame.end(), commandAndParameters.begin(), commandAndParameters.end());
  frame.insert(frame.end(), {0x00, 0x00});
  frame[1] = static_cast<std::uint8_t>(frame.size());
  return toHexText(frame);
}

}  // namespace readersim::testing
