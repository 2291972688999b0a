#include "rfid/block_size.h"

#include "core/device_kind.h"
#include "core/tag_type.h"
#include "rfid/tag_block.h"

namespace reader {

namespace {

struct FixedSize {
  int tagType;
  int size;
};

constexpr FixedSize kAsciiModuleSizes[] = {
    {TagType::MifareUltralight, 4},
    {TagType::MifareFamily, 16},
    {TagType::MyDIso14443, 8},
};

// The hex-frame module names a tag by its air protocol only, and ISO 15693
// tags come with 4- and 8-byte blocks: theirs is read from block 0.
constexpr FixedSize kHexModuleSizes[] = {
    {TagType::MifareFamily, 16},
    {TagType::Tagit, 4},
    {TagType::Iso14443B, 4},
};

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

template <std::size_t N>
bool fixedSize(const FixedSize (&table)[N], int tagType, int &size) {
  for (const FixedSize &entry : table) {
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
bool sizeOfBlock0(DeviceChannel &channel, ScanResult &tag, int &size) {
  ByteString block0;
  if (!readTagBlock(channel, tag.code, 0, block0)) return false;
  size = static_cast<int>(block0.length());
  refine(tag, size);
  return true;
}

}  // namespace

bool determineBlockSize(DeviceChannel &channel, ScanResult &tag, int &size) {
  size = 0;
  switch (channel.kind) {
    case DeviceKind::HexModule:
      return fixedSize(kHexModuleSizes, tag.code, size) || sizeOfBlock0(channel, tag, size);
    case DeviceKind::AsciiModule:
      return fixedSize(kAsciiModuleSizes, tag.code, size) || sizeOfBlock0(channel, tag, size);
    default:
      return false;
  }
}

}  // namespace reader
