#include "rfid/tag_block.h"

#include "core/channel_error.h"
#include "core/command_transport.h"
#include "core/device_kind.h"
#include "core/tag_type.h"
#include "rfid/ascii_module_commands.h"
#include "rfid/hex_field.h"
#include "rfid/module_answer.h"
#include "rfid/module_frame.h"
#include "rfid/module_status.h"

namespace reader {

namespace {

constexpr int kBlockTimeoutMs = 1000;
constexpr int kReadAttempts = 2;
constexpr int kWriteAttempts = 3;

bool failNoTag(DeviceChannel &channel) {
  channel.lastError = ChannelError::NoTag;
  return false;
}

bool readAsciiModuleBlock(DeviceChannel &channel, int block, ByteString &bytes) {
  ByteString command = blockReadCommand(channel.moduleVariant, block);
  ByteString answer;
  if (!sendCommand(channel, command, kBlockTimeoutMs, &answer, kReadAttempts)) return false;
  if (refusedWithStatus(channel, answer)) return false;
  if (!decodeHexField(answer, bytes) || bytes.empty()) return failNoTag(channel);
  return true;
}

bool readHexModuleBlock(DeviceChannel &channel, int tagType, int block, ByteString &bytes) {
  ByteString frame = blockReadFrame(tagType, block);
  if (frame.empty()) return false;
  ByteString answer, payload;
  if (!sendCommand(channel, frame, kBlockTimeoutMs, &answer, kReadAttempts)) return false;
  // After an error flag come the tag's error code, not block bytes.
  if (tagType == TagType::Iso15693 && isIso15693ErrorReply(answer)) return failNoTag(channel);
  if (!parseModuleAnswer(tagType, answer, AnswerMode::Data, payload)) return failNoTag(channel);
  if (tagType == TagType::Tagit) {
    if (!realignTagitBlock(payload, bytes)) return failNoTag(channel);
  } else {
    bytes = std::move(payload);
  }
  return !bytes.empty() || failNoTag(channel);
}

bool writeAsciiModuleBlock(DeviceChannel &channel, int block, const ByteString &blockBytes) {
  ByteString command = blockWriteCommand(channel.moduleVariant, block, blockBytes);
  ByteString answer;
  if (!sendCommand(channel, command, kBlockTimeoutMs, &answer, kWriteAttempts)) return false;
  return !refusedWithStatus(channel, answer);
}

// The module answers a write with the tag's reply in a field; without one the
// tag did not answer (it left the field), and nothing is taken as written.
// An ISO 15693 tag that refuses the write (a locked block) replies with the
// error flag set, and the block keeps its old bytes.
bool writeHexModuleBlock(DeviceChannel &channel, int tagType, int block, const ByteString &blockBytes) {
  ByteString frame = blockWriteFrame(tagType, block, blockBytes);
  if (frame.empty()) return false;
  ByteString answer;
  if (!sendCommand(channel, frame, kBlockTimeoutMs, &answer, kWriteAttempts)) return false;
  if (!answerHasField(answer)) return failNoTag(channel);
  return tagType != TagType::Iso15693 || !isIso15693ErrorReply(answer) || failNoTag(channel);
}

// A block read back shorter than the tag's block size would put the data at
// other addresses. The hex-frame module's answer is the tag's block itself,
// so one of any other length means the size in use is not the tag's. The
// ASCII module may answer with more than the block (an Ultralight read
// brings the pages after it), which is written back as read.
bool fitsBlockSize(const DeviceChannel &channel, const ByteString &blockBytes, int blockSize) {
  if (blockSize <= 0) return true;
  const auto size = static_cast<std::uint32_t>(blockSize);
  return channel.kind == DeviceKind::HexModule ? blockBytes.length() == size : blockBytes.length() >= size;
}

}  // namespace

bool readTagBlock(DeviceChannel &channel, int tagType, int block, ByteString &bytes) {
  bytes.reset();
  if (block < 0 || block > 0xFF) return false;
  switch (channel.kind) {
    case DeviceKind::AsciiModule: return readAsciiModuleBlock(channel, block, bytes);
    case DeviceKind::HexModule: return readHexModuleBlock(channel, tagType, block, bytes);
    default: return false;
  }
}

bool writeTagBlock(DeviceChannel &channel, int tagType, int blockSize, int block, int offset,
                   const ByteString &data, std::uint32_t &placed) {
  placed = 0;
  if (data.empty() || offset < 0) return false;
  ByteString blockBytes;
  if (!readTagBlock(channel, tagType, block, blockBytes)) return false;
  const auto start = static_cast<std::uint32_t>(offset);
  if (!fitsBlockSize(channel, blockBytes, blockSize)) {
    channel.lastError = ChannelError::WrongBlockLength;
    return false;
  }
  if (start >= blockBytes.length()) return false;
  std::uint32_t count = 0;
  for (; count < data.length() && start + count < blockBytes.length(); ++count)
    blockBytes.setAt(static_cast<std::int16_t>(data.byteAt(count)), static_cast<std::int32_t>(start + count));
  bool written = false;
  switch (channel.kind) {
    case DeviceKind::AsciiModule: written = writeAsciiModuleBlock(channel, block, blockBytes); break;
    case DeviceKind::HexModule: written = writeHexModuleBlock(channel, tagType, block, blockBytes); break;
    default: break;
  }
  if (written) placed = count;
  return written;
}

}  // namespace reader
