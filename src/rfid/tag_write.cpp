#include "rfid/tag_write.h"

#include <algorithm>

#include "core/channel_error.h"
#include "core/port_lock.h"
#include "core/tag_type.h"
#include "rfid/sector_login.h"
#include "rfid/tag_block.h"
#include "rfid/tag_detection.h"
#include "rfid/tag_geometry.h"
#include "rfid/tag_protocol.h"
#include "rfid/tag_reading.h"

namespace reader {

namespace {

// The detection before a write reads one byte: enough to identify the tag,
// log in to a Mifare tag's first data sector and learn the block size.
constexpr int kDetectionReadLength = 1;

ByteString slice(const ByteString &data, std::uint32_t first, std::uint32_t count) {
  ByteString out;
  if (count > 0) data.copyRange(first, first + count - 1, out);
  return out;
}

// Each block takes the data that belongs at its addresses: the first block
// from the start offset on, every later one from its start.
std::uint32_t writeBlocks(const PortLock &lock, const ScanResult &tag, const BlockRange &range, bool defaultStart,
                          const ByteString &data, const ByteString &key) {
  const auto size = static_cast<std::uint32_t>(tag.blockSize);
  const std::uint32_t total = std::min<std::uint32_t>(data.length(), kMaxTagDataBytes);
  const bool mifare = tag.code == TagType::MifareFamily;
  SectorLogins logins(lock, key);
  std::uint32_t written = 0;  // also where the next chunk starts in the data
  for (int block = range.startBlock; block <= range.endBlock && written < total; ++block) {
    if (mifare && !logins.enter(block)) break;
    if (mifare && defaultStart && isSectorTrailer(block)) continue;
    const auto offset = static_cast<std::uint32_t>(block == range.startBlock ? range.startOffset : 0);
    const std::uint32_t chunk = std::min(size - offset, total - written);
    std::uint32_t placed = 0;
    if (!writeTagBlock(lock, tag.code, tag.blockSize, block, static_cast<int>(offset), slice(data, written, chunk),
                       placed))
      break;
    written += placed;
    if (placed < chunk) break;  // the rest of the chunk has no place of its own
  }
  return written;
}

}  // namespace

std::uint32_t writeTagData(ReaderDevice &device, int start, const ByteString &data, const ByteString &key) {
  if (data.empty() || device.rfidPresent == 0) return 0;
  DeviceChannel &channel = device.rfid;
  const auto held = PortLock::take(channel);
  if (!held || device.rfidPresent == 0) return 0;
  const PortLock &lock = *held;
  channel.lastError = 0;
  const TagProtocol *tags = tagProtocol(channel.kind);
  // As a read cycle does: a port the idle close shut is opened and set up.
  if (tags == nullptr || !tags->prepare(lock)) return 0;
  const TagRequest detection{-1, kDetectionReadLength, key};
  TagReading reading(lock);
  if (!reading.switchOn()) return 0;
  ScanResult tag;
  if (!readTag(lock, tag, detection)) return 0;
  channel.result.set(tag);
  // A use of the port: the idle close (of the hex-frame module's port) waits
  // its whole time again.
  channel.idleWake.release();
  // Blocks answering with another length than the block size: no chunk can
  // be placed at its address.
  if (channel.lastError == ChannelError::WrongBlockLength) return 0;
  const int length = static_cast<int>(std::min<std::uint32_t>(data.length(), kMaxTagDataBytes));
  BlockRange range;
  if (!tags->writable(tag.code) || !computeBlockRange(tag.code, tag.blockSize, start, length, range)) return 0;
  return writeBlocks(lock, tag, range, start < 0, data, key);
}

}  // namespace reader
