#include <gtest/gtest.h>

#include "settings/config_block.h"

namespace reader {
namespace {

TEST(ConfigBlockBits, GetBitsExtractsAnUnsignedFieldAndIsZeroForAnEmptyRange) {
  EXPECT_EQ(getBits(0xB4, 4, 7), 0xBu);
  EXPECT_EQ(getBits(0xB4, 2, 2), 1u);
  EXPECT_EQ(getBits(0xB4, 0, 1), 0u);
  EXPECT_EQ(getBits(0xFF, 0, 7), 0xFFu);
  EXPECT_EQ(getBits(0xFFFFFFFFu, 0, 31), 0xFFFFFFFFu);
  EXPECT_EQ(getBits(0xFF, 5, 4), 0u);
}

TEST(ConfigBlockBits, SetBitsWritesOnlyTheFieldAndDropsValueBitsAboveItsWidth) {
  std::int16_t element = 0x5A;  // 0101 1010
  setBits(element, 4, 5, 2);
  EXPECT_EQ(element, 0x6A);     // bits 4-5 now 10
  setBits(element, 0, 1, 5);    // 101: only the low two bits reach the field
  EXPECT_EQ(element, 0x69);
  setBits(element, 3, 3, 0);
  EXPECT_EQ(element, 0x61);
  setBits(element, 0, 7, 0x1FF);
  EXPECT_EQ(element, 0xFF);
  setBits(element, 6, 5, 0);    // empty range: nothing changes
  EXPECT_EQ(element, 0xFF);
}

}  // namespace
}  // namespace reader
