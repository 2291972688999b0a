// Byte ranges of tag memory mapped onto each family's blocks.
#include <gtest/gtest.h>

#include <climits>

#include "core/tag_type.h"
#include "rfid/tag_geometry.h"

namespace TagType = reader::TagType;

namespace {

struct Range {
  int startBlock, endBlock, startOffset, endOffset;
  bool operator==(const Range &) const = default;
};

std::ostream &operator<<(std::ostream &out, const Range &r) {
  return out << "blocks " << r.startBlock << ".." << r.endBlock << " offsets " << r.startOffset << ".." << r.endOffset;
}

// The range, or all -1 when refused.
Range range(int tagType, int blockSize, int start, int length) {
  reader::BlockRange r;
  if (!reader::computeBlockRange(tagType, blockSize, start, length, r)) {
    EXPECT_EQ(r.startBlock + r.endBlock + r.startOffset + r.endOffset, 0);
    return {-1, -1, -1, -1};
  }
  return {r.startBlock, r.endBlock, r.startOffset, r.endOffset};
}

TEST(BlockRange, MifareDefaultRangesStepOverSectorTrailers) {
  EXPECT_EQ(range(TagType::MifareFamily, 16, -1, 16), (Range{4, 4, 0, 15}));
  EXPECT_EQ(range(TagType::MifareFamily, 16, -1, 48), (Range{4, 6, 0, 15}));
  EXPECT_EQ(range(TagType::MifareFamily, 16, -1, 64), (Range{4, 8, 0, 15}));
  EXPECT_EQ(range(TagType::MifareFamily, 16, -1, 96), (Range{4, 10, 0, 15}));
  EXPECT_EQ(range(TagType::MifareFamily, 16, -1, 100), (Range{4, 12, 0, 3}));
  // An explicit start counts every block, trailers too.
  EXPECT_EQ(range(TagType::MifareFamily, 16, 112, 32), (Range{7, 8, 0, 15}));
}

TEST(BlockRange, LengthIsCutAndRangesEndAtTheFamilysLastBlock) {
  EXPECT_EQ(range(TagType::Iso15693, 4, 0, 200), (Range{0, 31, 0, 3}));
  EXPECT_EQ(range(TagType::Iso15693, 4, 6, 3), (Range{1, 2, 2, 0}));
  EXPECT_EQ(range(TagType::Icode, 4, -1, 128), (Range{5, 15, 0, 3}));
  EXPECT_EQ(range(TagType::Icode, 4, 50, 20), (Range{12, 15, 2, 3}));
  EXPECT_EQ(range(TagType::Srix4k, 4, -1, 8), (Range{7, 8, 0, 3}));
  EXPECT_EQ(range(TagType::Srix4k, 4, 500, 40), (Range{125, 127, 0, 3}));
  EXPECT_EQ(range(TagType::Iso15693InfineonMyD, 8, -1, 8), (Range{3, 3, 0, 7}));
  EXPECT_EQ(range(TagType::Iso15693Em4135, 8, 280, 16), (Range{35, 35, 0, 7}));
  for (int other : {TagType::Iso14443B, TagType::Tagit, TagType::None, 99})
    EXPECT_EQ(range(other, 4, 1000, 100), (Range{250, 255, 0, 3})) << other;
}

TEST(BlockRange, RangesOutsideTheTagAreRefused) {
  EXPECT_EQ(range(TagType::Icode, 4, 64, 4), (Range{-1, -1, -1, -1}));  // block 16
  EXPECT_EQ(range(TagType::Iso15693, 4, INT_MAX, 128), (Range{-1, -1, -1, -1}));
  EXPECT_EQ(range(TagType::Iso15693, 0, 0, 4), (Range{-1, -1, -1, -1}));
  EXPECT_EQ(range(TagType::Iso15693, 4, 0, 0), (Range{-1, -1, -1, -1}));
  EXPECT_EQ(range(TagType::Iso15693, 4, 0, -5), (Range{-1, -1, -1, -1}));
}

}  // namespace
