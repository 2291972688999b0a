#include "rfid/tag_data_read.h"

#include <algorithm>

#include "core/channel_error.h"
#include "core/command_transport.h"
#include "core/device_kind.h"
#include "core/tag_type.h"
#include "rfid/block_size.h"
#include "rfid/module_answer.h"
#include "rfid/module_frame.h"
#include "rfid/sector_login.h"
#include "rfid/tag_block.h"
#include "rfid/tag_geometry.h"

namespace reader {

namespace {

constexpr int kBlockTimeoutMs = 1000;
constexpr int kReadAttempts = 2;
constexpr int kBlocksPerPairRead = 2;

void keepFirst(ByteString &bytes, std::uint32_t n) {
  if (bytes.length() > n) bytes.eraseRange(n, bytes.length() - n);
}

// ASCII module: block by block, each trimmed to the range. A block shorter
// than the block size would shift every later byte, so it ends the read as a
// failed one does.
void readAsciiModuleBlocks(const PortLock &lock, ScanResult &tag, const BlockRange &range, bool defaultStart,
                           const ByteString &key) {
  const auto size = static_cast<std::uint32_t>(tag.blockSize);
  const bool mifare = tag.code == TagType::MifareFamily;
  SectorLogins logins(lock, key);
  for (int block = range.startBlock; block <= range.endBlock; ++block) {
    if (mifare && !logins.enter(block)) return;
    if (mifare && defaultStart && isSectorTrailer(block)) continue;
    ByteString bytes;
    if (!readTagBlock(lock, tag.code, block, bytes) || bytes.length() < size) return;
    keepFirst(bytes, size);
    if (block == range.endBlock) keepFirst(bytes, static_cast<std::uint32_t>(range.endOffset) + 1);
    if (block == range.startBlock) bytes.eraseRange(0, static_cast<std::uint32_t>(range.startOffset));
    tag.tagData.append(bytes);
  }
}

// Tag-it: only with the counts from the detection, and never past the block
// count the tag reported.
void readTagitBlocks(const PortLock &lock, const TagDetection &detection, const BlockRange &range, ByteString &out) {
  const int blockCount = detection.blockCount;
  if (detection.infoByte == 0 || blockCount == 0) return;
  const int last = std::min(range.endBlock, blockCount - 1);
  for (int block = range.startBlock; block <= last; ++block) {
    ByteString bytes;
    if (!readTagBlock(lock, TagType::Tagit, block, bytes)) return;
    out.append(bytes);
  }
}

// ISO 15693: two blocks per request. An answer that is not (or no longer) a
// reply with block bytes ends the read with the blocks before it. One that
// is not exactly two blocks long shows that the block size in use is not the
// tag's: none of the bytes can be placed, and false.
bool readIso15693Blocks(const PortLock &lock, std::uint32_t size, const BlockRange &range, ByteString &out) {
  const std::uint32_t pair = size * kBlocksPerPairRead;
  for (int block = range.startBlock; block <= range.endBlock; block += kBlocksPerPairRead) {
    ByteString frame = blockPairReadFrame(block);
    ByteString answer, bytes;
    if (frame.empty() || !sendCommand(lock, frame, kBlockTimeoutMs, &answer, kReadAttempts) ||
        isIso15693ErrorReply(answer) || !parseModuleAnswer(TagType::Iso15693, answer, AnswerMode::Data, bytes))
      return true;
    if (bytes.length() != pair) return false;
    out.append(bytes);
  }
  return true;
}

// False when the blocks answered with another length than the block size.
bool readHexModuleBlocks(const PortLock &lock, ScanResult &tag, const TagDetection &detection, const BlockRange &range,
                         int length) {
  ByteString &out = tag.tagData;
  if (tag.code == TagType::Tagit) {
    readTagitBlocks(lock, detection, range, out);
  } else if (tag.code == TagType::Iso15693) {
    if (!readIso15693Blocks(lock, static_cast<std::uint32_t>(tag.blockSize), range, out)) return false;
  } else {
    return true;  // no block commands for the ISO 14443 families
  }
  // Whole blocks were read: cut them to the bytes asked for, also when the
  // read ended early, so that every byte stays at its offset.
  out.eraseRange(0, static_cast<std::uint32_t>(range.startOffset));
  keepFirst(out, static_cast<std::uint32_t>(std::min(length, kMaxTagDataBytes)));
  return true;
}

}  // namespace

bool readTagData(const PortLock &lock, ScanResult &tag, const TagRequest &request, const TagDetection &detection) {
  DeviceChannel &channel = lock.channel();
  tag.tagData.reset();
  const int start = request.start;
  const int length = request.length;
  if (tag.data.empty() || tag.code == TagType::None || length == 0) return false;
  int size = 0;
  if (!determineBlockSize(lock, tag, size)) return false;
  tag.blockSize = size;
  BlockRange range;
  if (!computeBlockRange(tag.code, size, start, length, range)) return false;
  if (channel.kind == DeviceKind::AsciiModule) {
    readAsciiModuleBlocks(lock, tag, range, start < 0, request.key);
  } else if (channel.kind == DeviceKind::HexModule && !readHexModuleBlocks(lock, tag, detection, range, length)) {
    // Bytes of blocks sized otherwise than the tag's cannot be trusted to
    // sit at their addresses, not even those read before.
    tag.tagData.reset();
    channel.lastError = ChannelError::WrongBlockLength;
  }
  return !tag.tagData.empty();
}

}  // namespace reader
