#include "rfid/module_frame.h"

#include "core/hex_text.h"
#include "core/tag_type.h"

namespace reader {

namespace {

constexpr std::uint8_t kTagRequest = 0x18;  // passes a request on to the tag
constexpr std::uint8_t kNoFlags = 0x00;     // ISO 15693 request flags

// Requests after the flags byte, by tag family.
constexpr std::uint8_t kTagitReadBlock = 0x08;
constexpr std::uint8_t kTagitWriteBlock = 0x28;
constexpr std::uint8_t kIsoReadSingleBlock = 0x20;
constexpr std::uint8_t kIsoWriteSingleBlock = 0x21;
constexpr std::uint8_t kIsoReadMultipleBlocks = 0x23;
constexpr std::uint8_t kSecondBlockToo = 0x01;  // block count field: one more block

bool blockNumber(int block) { return block >= 0 && block <= 0xFF; }

std::uint8_t readRequest(int tagType) {
  if (tagType == TagType::Tagit) return kTagitReadBlock;
  if (tagType == TagType::Iso15693) return kIsoReadSingleBlock;
  return 0;
}

std::uint8_t writeRequest(int tagType) {
  if (tagType == TagType::Tagit) return kTagitWriteBlock;
  if (tagType == TagType::Iso15693) return kIsoWriteSingleBlock;
  return 0;
}

}  // namespace

ByteString moduleFrame(std::uint8_t command, std::initializer_list<std::uint8_t> parameters,
                       const ByteString &parameterBytes) {
  constexpr std::uint32_t kLengthByte = 1;
  ByteString frame = ByteString::fromBytes({0x01, 0x00, 0x00, 0x03, 0x04, command});
  for (std::uint8_t parameter : parameters) frame.append(parameter);
  for (std::uint32_t i = 0; i < parameterBytes.length(); ++i) frame.append(parameterBytes.byteAt(i));
  frame.append(0x00);
  frame.append(0x00);
  frame.setAt(static_cast<std::int16_t>(frame.length() & 0xFF), kLengthByte);
  ByteString text;
  toHexText(frame, text);
  return text;
}

ByteString blockReadFrame(int tagType, int block) {
  const std::uint8_t request = readRequest(tagType);
  if (request == 0 || !blockNumber(block)) return ByteString();
  return moduleFrame(kTagRequest, {kNoFlags, request, static_cast<std::uint8_t>(block)});
}

ByteString blockPairReadFrame(int block) {
  if (!blockNumber(block)) return ByteString();
  return moduleFrame(kTagRequest,
                     {kNoFlags, kIsoReadMultipleBlocks, static_cast<std::uint8_t>(block), kSecondBlockToo});
}

ByteString blockWriteFrame(int tagType, int block, const ByteString &blockBytes) {
  const std::uint8_t request = writeRequest(tagType);
  if (request == 0 || !blockNumber(block)) return ByteString();
  return moduleFrame(kTagRequest, {kNoFlags, request, static_cast<std::uint8_t>(block)}, blockBytes);
}

}  // namespace reader
