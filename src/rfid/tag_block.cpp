#include "rfid/tag_block.h"

#include "core/channel_error.h"
#include "rfid/tag_protocol.h"

namespace reader {

namespace {

// A block read back shorter than the tag's block size would put the data at
// other addresses. The hex-frame module's answer is the tag's block itself,
// so one of any other length means the size in use is not the tag's. The
// ASCII module may answer with more than the block (an Ultralight read
// brings the pages after it), which is written back as read.
bool fitsBlockSize(const TagProtocol &tags, const ByteString &blockBytes, int blockSize) {
  if (blockSize <= 0) return true;
  const auto size = static_cast<std::uint32_t>(blockSize);
  return tags.blockReadIsExact ? blockBytes.length() == size : blockBytes.length() >= size;
}

}  // namespace

bool readTagBlock(const PortLock &lock, int tagType, int block, ByteString &bytes) {
  DeviceChannel &channel = lock.channel();
  bytes.reset();
  if (block < 0 || block > 0xFF) return false;
  const TagProtocol *tags = tagProtocol(channel.kind);
  return tags != nullptr && tags->readBlock(lock, tagType, block, bytes);
}

bool writeTagBlock(const PortLock &lock, int tagType, int blockSize, int block, int offset, const ByteString &data,
                   std::uint32_t &placed) {
  DeviceChannel &channel = lock.channel();
  placed = 0;
  const TagProtocol *tags = tagProtocol(channel.kind);
  if (tags == nullptr || data.empty() || offset < 0) return false;
  ByteString blockBytes;
  if (!readTagBlock(lock, tagType, block, blockBytes)) return false;
  const auto start = static_cast<std::uint32_t>(offset);
  if (!fitsBlockSize(*tags, blockBytes, blockSize)) {
    channel.lastError = ChannelError::WrongBlockLength;
    return false;
  }
  if (start >= blockBytes.length()) return false;
  std::uint32_t count = 0;
  for (; count < data.length() && start + count < blockBytes.length(); ++count)
    blockBytes.setAt(static_cast<std::int16_t>(data.byteAt(count)), static_cast<std::int32_t>(start + count));
  const bool written = tags->writeBlock(lock, tagType, block, blockBytes);
  if (written) placed = count;
  return written;
}

}  // namespace reader
