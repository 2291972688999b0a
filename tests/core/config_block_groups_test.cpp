// The group operations of the text engine against a simulated engine: what
// reaches the engine's own block, and what the library's copy holds after.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/byte_string.h"
#include "settings/config_block.h"
#include "settings_test_engines.h"

namespace reader {
namespace {

using settings_testing::TextEngineDevice;

std::vector<std::uint8_t> copyOf(const ReaderDevice &device) { return device.barcode.configBlock.toBytes(); }

bool bitOf(const std::vector<std::uint8_t> &block, int byte, int bit) { return (block.at(byte) >> bit) & 1; }

TEST(ConfigBlockGroups, AChangedParameterSendsTheWholeBlockAsUppercaseHexAndOnlyItsBitsChange) {
  TextEngineDevice t;
  const std::vector<std::uint8_t> factory = t.engine.block();
  int p5 = bitOf(factory, 9, 1) ? 0 : 1;  // group 42, parameter 5: byte 9 bit 1
  ASSERT_TRUE(configGroupOperation(t.device, ConfigGroup::Group42, 'w',
                                   {nullptr, nullptr, nullptr, nullptr, &p5}));
  ASSERT_EQ(t.saves().size(), 1u);
  std::vector<std::uint8_t> expected = factory;
  expected[9] ^= 0x02;
  EXPECT_EQ(t.engine.block(), expected);
  EXPECT_EQ(copyOf(t.device), expected);
  const std::string hex = t.saves()[0];
  EXPECT_EQ(hex.size(), 2 * factory.size());
  EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos);

  // A wider field takes only as many low bits as it has.
  int p4 = 5;
  ASSERT_TRUE(configGroupOperation(t.device, ConfigGroup::Group10, 'w', {nullptr, nullptr, nullptr, &p4}));
  EXPECT_EQ(t.engine.block()[6] & 0x03, 1);
  int back = 0;
  ASSERT_TRUE(configGroupOperation(t.device, ConfigGroup::Group10, 'r', {nullptr, nullptr, nullptr, &back}));
  EXPECT_EQ(back, 1);
}

TEST(ConfigBlockGroups, ByteOneBitSevenSummarisesTheCode128AndEan128Bits) {
  TextEngineDevice t;
  int on = 1, off = 0;
  ASSERT_TRUE(configGroupOperation(t.device, ConfigGroup::Code128, 'w', {&on}));
  ASSERT_TRUE(configGroupOperation(t.device, ConfigGroup::Ean128, 'w', {&on, nullptr}));
  auto block = t.engine.block();
  EXPECT_TRUE(bitOf(block, 22, 7) && bitOf(block, 22, 6) && bitOf(block, 1, 7));

  // EAN-128 off while Code 128 stays on: the summary stays set.
  ASSERT_TRUE(configGroupOperation(t.device, ConfigGroup::Ean128, 'w', {&off, nullptr}));
  block = t.engine.block();
  EXPECT_FALSE(bitOf(block, 22, 6));
  EXPECT_TRUE(bitOf(block, 1, 7));

  // Both off: the summary goes too.
  ASSERT_TRUE(configGroupOperation(t.device, ConfigGroup::Code128, 'w', {&off}));
  block = t.engine.block();
  EXPECT_FALSE(bitOf(block, 22, 7));
  EXPECT_FALSE(bitOf(block, 1, 7));

  // Code 128 off while EAN-128 is on keeps the summary.
  ASSERT_TRUE(configGroupOperation(t.device, ConfigGroup::Ean128, 'w', {&on, nullptr}));
  ASSERT_TRUE(configGroupOperation(t.device, ConfigGroup::Code128, 'w', {&off}));
  block = t.engine.block();
  EXPECT_TRUE(bitOf(block, 1, 7));
  Code128Acceptance acceptance;
  ASSERT_TRUE(readCode128Acceptance(t.device, acceptance));
  EXPECT_EQ(acceptance.code128, 0);
  EXPECT_EQ(acceptance.ean128, 1);
}

TEST(ConfigBlockGroups, Ean128ParameterTwoIsTheInverseOfByte22Bit5) {
  TextEngineDevice t;
  int on = 1, off = 0, read = -1;
  ASSERT_TRUE(configGroupOperation(t.device, ConfigGroup::Ean128, 'w', {nullptr, &on}));
  EXPECT_FALSE(bitOf(t.engine.block(), 22, 5));
  ASSERT_TRUE(configGroupOperation(t.device, ConfigGroup::Ean128, 'r', {nullptr, &read}));
  EXPECT_EQ(read, 1);
  ASSERT_TRUE(configGroupOperation(t.device, ConfigGroup::Ean128, 'w', {nullptr, &off}));
  EXPECT_TRUE(bitOf(t.engine.block(), 22, 5));
  ASSERT_TRUE(configGroupOperation(t.device, ConfigGroup::Ean128, 'r', {nullptr, &read}));
  EXPECT_EQ(read, 0);
}

TEST(ConfigBlockGroups, HeldUpcEanOptionsAreReportedFromTheDeviceAndNeverClearTheirBit) {
  TextEngineDevice t;
  int on = 1, off = 0, read = -1;
  int *p7on[] = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &on};
  int *p7off[] = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &off};
  int *p7read[] = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &read};
  ASSERT_TRUE(configGroupOperation(t.device, ConfigGroup::UpcEan, 'w', p7on));
  EXPECT_TRUE(bitOf(t.engine.block(), 9, 0));
  EXPECT_EQ(t.device.upcAAsEan13, 1);

  const std::size_t saves = t.saves().size();
  ASSERT_TRUE(configGroupOperation(t.device, ConfigGroup::UpcEan, 'w', p7off));
  EXPECT_EQ(t.saves().size(), saves);  // the block did not change
  EXPECT_TRUE(bitOf(copyOf(t.device), 9, 0));
  EXPECT_EQ(t.device.upcAAsEan13, 0);
  ASSERT_TRUE(configGroupOperation(t.device, ConfigGroup::UpcEan, 'r', p7read));
  EXPECT_EQ(read, 0);
}

TEST(ConfigBlockGroups, ARefusedOrUnansweredSaveLeavesTheCopyEqualToTheEngine) {
  TextEngineDevice t;
  const std::vector<std::uint8_t> factory = t.engine.block();
  t.engine.setRefuseAll(true);
  int flip = bitOf(factory, 0, 7) ? 0 : 1;
  EXPECT_FALSE(configGroupOperation(t.device, ConfigGroup::Group1, 'w', {&flip}));
  EXPECT_EQ(copyOf(t.device), factory);

  // Both groups that touch bytes 1 and 22 put them back, EAN-128 included.
  int off = 0, on = 1;
  EXPECT_FALSE(configGroupOperation(t.device, ConfigGroup::Code128, 'w', {&off}));
  EXPECT_EQ(copyOf(t.device), factory);
  EXPECT_FALSE(configGroupOperation(t.device, ConfigGroup::Ean128, 'w', {&off, &on}));
  EXPECT_EQ(copyOf(t.device), factory);
  Code128Acceptance acceptance;
  ASSERT_TRUE(readCode128Acceptance(t.device, acceptance));
  EXPECT_EQ(acceptance.ean128, 1);
  EXPECT_EQ(t.engine.block(), factory);

  // An engine that does not answer at all is treated alike.
  t.engine.setRefuseAll(false);
  t.engine.setSilent(true);
  int mode = 3;
  EXPECT_FALSE(configGroupOperation(t.device, ConfigGroup::Scan, 'w', {&mode}));
  EXPECT_EQ(copyOf(t.device), factory);
  EXPECT_EQ(readTriggerMode(t.device), factory[20] >> 4);
}

TEST(ConfigBlockGroups, AShortBlockAnotherOperationOrAnotherEngineKindGiveFalseAndSendNothing) {
  readersim::TextEngine::Options shortBlock;
  shortBlock.block = readersim::TextEngine::defaultBlock(29);
  TextEngineDevice t(shortBlock);
  ASSERT_EQ(t.device.barcode.configBlock.length(), 29u);
  const std::size_t before = t.engine.commands().size();
  int v = 1;
  for (int g = 0; g < kConfigGroupCount; ++g) {
    const auto group = static_cast<ConfigGroup>(g);
    EXPECT_FALSE(configGroupOperation(t.device, group, 'r', {&v})) << g;
    EXPECT_FALSE(configGroupOperation(t.device, group, 'w', {&v})) << g;
  }
  EXPECT_EQ(readTriggerMode(t.device), 0);
  EXPECT_EQ(t.engine.commands().size(), before);

  TextEngineDevice full;
  const std::vector<std::uint8_t> copy = copyOf(full.device);
  EXPECT_FALSE(configGroupOperation(full.device, ConfigGroup::Group1, 'x', {&v}));
  EXPECT_EQ(copyOf(full.device), copy);
  full.device.barcode.kind = 3;
  EXPECT_FALSE(configGroupOperation(full.device, ConfigGroup::Group1, 'r', {&v}));
  EXPECT_FALSE(configGroupOperation(full.device, ConfigGroup::Group1, 'w', {&v}));
}

TEST(ConfigBlockGroups, AnAllZeroBlockIsSavedAsSixtyZeroDigits) {
  readersim::TextEngine::Options zeros;
  zeros.block.assign(30, 0);
  TextEngineDevice t(zeros);
  int off = 0;
  ASSERT_TRUE(configGroupOperation(t.device, ConfigGroup::Code128, 'w', {&off}));
  ASSERT_EQ(t.saves().size(), 1u);
  EXPECT_EQ(t.saves()[0], std::string(60, '0'));
}

}  // namespace
}  // namespace reader
