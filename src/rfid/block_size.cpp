#include "rfid/block_size.h"

#include "core/tag_type.h"
#include "rfid/tag_block.h"
#include "rfid/tag_protocol.h"

namespace reader {

namespace {

// A family whose block 0 has `size` bytes is in fact the refined family.
struct Refinement {
  int tagType;
  int size;
  int refined;
};

constexpr Refinement kRefinements[] = {
    {TagType::Sr176, 4, TagType::Srix4k},
    {TagType::Iso15693Infineon, 8, TagType::Iso15693InfineonMyD},
    {TagType::Iso15693Em, 8, TagType::Iso15693Em4135},
};

bool fixedSize(std::span<const FixedBlockSize> table, int tagType, int &size) {
  for (const FixedBlockSize &entry : table) {
    if (entry.tagType == tagType) {
      size = entry.size;
      return true;
    }
  }
  return false;
}

void refine(ScanResult &tag, int size) {
  for (const Refinement &refinement : kRefinements) {
    if (refinement.tagType == tag.code && refinement.size == size) {
      tag.code = refinement.refined;
      tag.name.assign(tagTypeName(refinement.refined));
      return;
    }
  }
}

// The size is the length of block 0 as the tag gives it.
bool sizeOfBlock0(const PortLock &lock, ScanResult &tag, int &size) {
  ByteString block0;
  if (!readTagBlock(lock, tag.code, 0, block0)) return false;
  size = static_cast<int>(block0.length());
  refine(tag, size);
  return true;
}

}  // namespace

bool determineBlockSize(const PortLock &lock, ScanResult &tag, int &size) {
  DeviceChannel &channel = lock.channel();
  size = 0;
  const TagProtocol *tags = tagProtocol(channel.kind);
  return tags != nullptr && (fixedSize(tags->fixedBlockSizes, tag.code, size) || sizeOfBlock0(lock, tag, size));
}

}  // namespace reader
