#include "rfid/tag_geometry.h"

#include <algorithm>
#include <cstdint>

#include "core/tag_type.h"

namespace reader {

namespace {

struct GeometryEntry {
  int tagType;
  TagGeometry geometry;
};

constexpr GeometryEntry kGeometries[] = {
    {TagType::Icode, {5, 15, false}},
    {TagType::MifareUltralight, {4, 15, false}},
    {TagType::MifareFamily, {4, 255, true}},
    {TagType::MyDIso14443, {4, 255, false}},
    {TagType::Sr176, {4, 14, false}},
    {TagType::Srix4k, {7, 127, false}},
    {TagType::Iso15693St, {0, 63, false}},
    {TagType::Iso15693Philips, {0, 63, false}},
    {TagType::Iso15693Infineon, {0, 63, false}},
    {TagType::Iso15693InfineonMyD, {3, 127, false}},
    {TagType::Iso15693Ti, {0, 63, false}},
    {TagType::Iso15693Em, {0, 63, false}},
    {TagType::Iso15693Em4135, {0, 35, false}},
    {TagType::Iso15693, {0, 63, false}},
};

constexpr TagGeometry kOtherGeometry{0, 255, false};

// Data blocks between two sector trailers.
constexpr std::int64_t kDataBlocksPerSector = 3;

}  // namespace

const TagGeometry &tagGeometry(int tagType) {
  for (const GeometryEntry &entry : kGeometries)
    if (entry.tagType == tagType) return entry.geometry;
  return kOtherGeometry;
}

bool computeBlockRange(int tagType, int blockSize, int start, int length, BlockRange &range) {
  range = BlockRange();
  if (blockSize < 1 || length < 1) return false;
  const TagGeometry &geometry = tagGeometry(tagType);
  const std::int64_t size = blockSize;
  const std::int64_t bytes = std::min(length, kMaxTagDataBytes);
  std::int64_t startBlock, endBlock, startOffset, endOffset;
  if (start >= 0) {
    const std::int64_t last = static_cast<std::int64_t>(start) + bytes - 1;
    startBlock = start / size;
    startOffset = start % size;
    endBlock = last / size;
    endOffset = last % size;
  } else {
    const std::int64_t blocks = (bytes + size - 1) / size;
    // The trailers inside the range add to its end.
    const std::int64_t trailers = geometry.trailersSkipped ? (blocks - 1) / kDataBlocksPerSector : 0;
    startBlock = geometry.firstDataBlock;
    startOffset = 0;
    endBlock = startBlock + blocks + trailers - 1;
    endOffset = (bytes - 1) % size;
  }
  if (startBlock > geometry.lastBlock) return false;
  if (endBlock > geometry.lastBlock) {
    endBlock = geometry.lastBlock;
    endOffset = size - 1;
  }
  range.startBlock = static_cast<int>(startBlock);
  range.endBlock = static_cast<int>(endBlock);
  range.startOffset = static_cast<int>(startOffset);
  range.endOffset = static_cast<int>(endOffset);
  return true;
}

}  // namespace reader
