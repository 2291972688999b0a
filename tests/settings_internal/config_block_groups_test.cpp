// The group operations of the text engine against a simulated engine, for
// the block bits that no record byte shows directly.
#include <gtest/gtest.h>

#include <vector>

#include "settings/config_block.h"
#include "settings_test_engines.h"

namespace reader {
namespace {

using settings_testing::TextEngineDevice;

bool bitOf(const std::vector<std::uint8_t> &block, int byte, int bit) { return (block.at(byte) >> bit) & 1; }

TEST(ConfigBlockGroups, ByteOneBitSevenSummarisesTheCode128AndEan128BitsAndEan128HasAnInvertedBit) {
  TextEngineDevice t;
  int on = 1, off = 0, read = -1;
  ASSERT_TRUE(configGroupOperation(t.port(), ConfigGroup::Code128, 'w', {&off}));
  ASSERT_TRUE(configGroupOperation(t.port(), ConfigGroup::Ean128, 'w', {&on, &on}));
  auto block = t.engine.block();
  EXPECT_TRUE(bitOf(block, 22, 6) && bitOf(block, 1, 7));
  EXPECT_FALSE(bitOf(block, 22, 7) || bitOf(block, 22, 5));
  // What the scan cycle's filter reads follows the block.
  EXPECT_EQ(t.device.barcode.code128Accepted, 0);
  EXPECT_EQ(t.device.barcode.ean128Accepted, 1);
  ASSERT_TRUE(configGroupOperation(t.port(), ConfigGroup::Ean128, 'r', {nullptr, &read}));
  EXPECT_EQ(read, 1);

  // The summary stays while either bit is set.
  ASSERT_TRUE(configGroupOperation(t.port(), ConfigGroup::Code128, 'w', {&on}));
  ASSERT_TRUE(configGroupOperation(t.port(), ConfigGroup::Ean128, 'w', {&off, &off}));
  block = t.engine.block();
  EXPECT_TRUE(bitOf(block, 22, 7) && bitOf(block, 1, 7) && bitOf(block, 22, 5));
  EXPECT_EQ(t.device.barcode.code128Accepted, 1);
  EXPECT_EQ(t.device.barcode.ean128Accepted, 0);
  ASSERT_TRUE(configGroupOperation(t.port(), ConfigGroup::Code128, 'w', {&off}));
  EXPECT_FALSE(bitOf(t.engine.block(), 1, 7));
}

TEST(ConfigBlockGroups, HeldUpcEanOptionsAreReportedFromTheDeviceAndNeverClearTheirBit) {
  TextEngineDevice t;
  int value = 1;
  int *p7[] = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &value};  // UPC-A as EAN-13
  ASSERT_TRUE(configGroupOperation(t.port(), ConfigGroup::UpcEan, 'w', p7));
  EXPECT_TRUE(bitOf(t.engine.block(), 9, 0));
  EXPECT_EQ(t.device.barcode.upcAAsEan13, 1);

  const std::size_t saves = t.saves();
  value = 0;
  ASSERT_TRUE(configGroupOperation(t.port(), ConfigGroup::UpcEan, 'w', p7));
  EXPECT_EQ(t.saves(), saves);  // the block did not change
  EXPECT_EQ(t.device.barcode.upcAAsEan13, 0);
  value = -1;
  ASSERT_TRUE(configGroupOperation(t.port(), ConfigGroup::UpcEan, 'r', p7));
  EXPECT_EQ(value, 0);
}

TEST(ConfigBlockGroups, ABlockTooShortForTheGroupsIsNeitherReadNorWritten) {
  readersim::TextEngine::Options shortBlock;
  shortBlock.block = readersim::TextEngine::defaultBlock(29);
  TextEngineDevice t(shortBlock);
  const std::size_t before = t.engine.commands().size();
  int v = 1;
  for (int g = 0; g < kConfigGroupCount; ++g) {
    EXPECT_FALSE(configGroupOperation(t.port(), static_cast<ConfigGroup>(g), 'r', {&v})) << g;
    EXPECT_FALSE(configGroupOperation(t.port(), static_cast<ConfigGroup>(g), 'w', {&v})) << g;
  }
  EXPECT_EQ(readTriggerMode(t.device), 0);
  EXPECT_EQ(t.engine.commands().size(), before);
}

}  // namespace
}  // namespace reader
