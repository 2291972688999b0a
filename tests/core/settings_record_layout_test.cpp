// The text engine's section of the settings record against the block fields
// it stands for (written down here from the record layout, independently of
// the group table the library uses), in both directions.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "platform/semaphore.h"
#include "settings/settings_record.h"
#include "settings_test_engines.h"

namespace reader {
namespace {

struct FieldAt {
  int recordByte;
  int blockByte;
  int lo;
  int hi;
};

// Record byte -> block byte and bits.
constexpr FieldAt kBlockFields[] = {
    {1, 0, 7, 7},   {2, 5, 7, 7},   {3, 5, 6, 6},   {4, 5, 5, 5},   {5, 5, 4, 4},   {6, 0, 6, 6},
    {7, 5, 3, 3},   {8, 0, 5, 5},   {9, 5, 2, 2},   {10, 0, 4, 4},  {11, 6, 0, 1},  {12, 6, 7, 7},
    {13, 6, 6, 6},  {14, 12, 7, 7}, {15, 12, 0, 6}, {16, 13, 0, 7}, {17, 0, 3, 3},  {18, 6, 2, 3},
    {19, 5, 1, 1},  {20, 5, 0, 0},  {21, 14, 7, 7}, {22, 14, 0, 6}, {23, 15, 0, 7}, {24, 0, 2, 2},
    {25, 7, 6, 7},  {26, 6, 5, 5},  {27, 6, 4, 4},  {28, 16, 7, 7}, {29, 16, 0, 6}, {30, 17, 0, 7},
    {31, 0, 1, 1},  {33, 2, 5, 5},  {34, 9, 6, 7},  {35, 9, 4, 5},  {36, 18, 7, 7}, {37, 18, 0, 6},
    {38, 19, 0, 7}, {39, 2, 4, 4},  {40, 9, 2, 2},  {41, 9, 3, 3},  {42, 1, 6, 6},  {43, 9, 1, 1},
    {44, 10, 1, 1}, {45, 10, 5, 5}, {46, 1, 5, 5},  {47, 1, 4, 4},  {48, 1, 3, 3},  {49, 10, 3, 3},
    {50, 1, 2, 2},  {51, 1, 1, 1},  {52, 11, 7, 7}, {53, 1, 0, 0},  {54, 10, 7, 7}, {55, 10, 6, 6},
    {57, 2, 7, 7},  {58, 2, 6, 6},  {59, 10, 0, 0}, {62, 2, 2, 2},  {63, 2, 1, 1},  {64, 3, 6, 6},
    {65, 3, 3, 3},  {66, 3, 4, 4},  {67, 3, 5, 5},  {68, 2, 0, 0},  {69, 3, 0, 0},  {70, 3, 1, 1},
    {71, 3, 2, 2},  {72, 3, 7, 7},  {73, 4, 7, 7},  {74, 0, 0, 0},  {75, 22, 7, 7}, {76, 22, 6, 6},
    {78, 20, 4, 7}, {79, 21, 0, 7}, {80, 11, 2, 3}, {81, 11, 4, 4}, {82, 11, 5, 5},
};

using Record = std::array<std::uint8_t, kSettingsRecordBytes>;

struct Context {
  explicit Context(ReaderDevice &device) : settings{device, options, autoScanSem, autoScanToken} {}
  LibraryOptions options;
  platform::Semaphore autoScanSem{0, 1};
  platform::Semaphore autoScanToken{0, 1};
  SettingsContext settings;
};

// A text engine known only by its copy: reads need no line.
void useCopy(ReaderDevice &device, const std::vector<std::uint8_t> &block) {
  device.barcode.kind = 2;
  device.barcode.configBlock = ByteString::fromBytes(block);
}

int maxOf(const FieldAt &f) { return (1 << (f.hi - f.lo + 1)) - 1; }

TEST(SettingsRecordLayout, EveryTextEngineByteReportsItsOwnBlockField) {
  ReaderDevice device;
  Context context(device);
  for (const FieldAt &f : kBlockFields) {
    std::vector<std::uint8_t> block(30, 0);
    block[f.blockByte] = static_cast<std::uint8_t>(maxOf(f) << f.lo);
    useCopy(device, block);
    Record record{};
    ASSERT_EQ(getReaderSettings(context.settings, record.data()), 1);
    for (int b = 1; b <= 82; ++b) {
      const int expected = b == f.recordByte ? maxOf(f) : 0;
      EXPECT_EQ(record[b], expected) << "record byte " << b << " with the field of byte " << f.recordByte;
    }
  }
}

TEST(SettingsRecordLayout, Byte32CodesTheOnBitAndTheTwoBitValue) {
  ReaderDevice device;
  Context context(device);
  const struct {
    std::uint8_t block7;
    int reported;
  } cases[] = {{0x00, 0}, {0x30, 0}, {0x08, 1}, {0x18, 2}, {0x28, 3}, {0x38, 4}};
  for (const auto &c : cases) {
    std::vector<std::uint8_t> block(30, 0);
    block[7] = c.block7;
    useCopy(device, block);
    Record record{};
    ASSERT_EQ(getReaderSettings(context.settings, record.data()), 1);
    EXPECT_EQ(record[32], c.reported) << int(c.block7);
  }
}

TEST(SettingsRecordLayout, EveryTextEngineByteWritesOnlyItsOwnBlockField) {
  settings_testing::TextEngineDevice t;
  Context context(t.device);
  for (const FieldAt &f : kBlockFields) {
    Record record{};
    ASSERT_EQ(getReaderSettings(context.settings, record.data()), 1);
    const std::vector<std::uint8_t> before = t.engine.block();
    const int current = (before[f.blockByte] >> f.lo) & maxOf(f);
    // A different value; a one-bit field takes any nonzero byte as 1.
    const int wanted = current == 0 ? (f.lo == f.hi ? 9 : maxOf(f)) : 0;
    record[f.recordByte] = static_cast<std::uint8_t>(wanted);
    ASSERT_EQ(setReaderSettings(context.settings, record.data()), 1);
    std::vector<std::uint8_t> expected = before;
    const int stored = f.lo == f.hi ? (wanted != 0) : wanted;
    expected[f.blockByte] = static_cast<std::uint8_t>((before[f.blockByte] & ~(maxOf(f) << f.lo)) | (stored << f.lo));
    // The Code 128 and EAN-128 groups are written every time, and leave the
    // summary of byte 22 bits 6 and 7 in byte 1 bit 7.
    const bool any = (expected[22] & 0xC0) != 0;
    expected[1] = static_cast<std::uint8_t>((expected[1] & 0x7F) | (any ? 0x80 : 0));
    EXPECT_EQ(t.engine.block(), expected) << "record byte " << f.recordByte;
  }
}

TEST(SettingsRecordLayout, Byte32WritesBit3AndBits4To5) {
  settings_testing::TextEngineDevice t;
  Context context(t.device);
  Record record{};
  ASSERT_EQ(getReaderSettings(context.settings, record.data()), 1);
  record[32] = 3;
  ASSERT_EQ(setReaderSettings(context.settings, record.data()), 1);
  EXPECT_EQ(t.engine.block()[7] & 0x38, 0x28);
  ASSERT_EQ(getReaderSettings(context.settings, record.data()), 1);
  EXPECT_EQ(record[32], 3);
  record[32] = 0;
  ASSERT_EQ(setReaderSettings(context.settings, record.data()), 1);
  EXPECT_EQ(t.engine.block()[7] & 0x38, 0);
  ASSERT_EQ(getReaderSettings(context.settings, record.data()), 1);
  EXPECT_EQ(record[32], 0);
}

TEST(SettingsRecordLayout, TheHeldUpcEanOptionsAreReportedFromTheDevice) {
  ReaderDevice device;
  Context context(device);
  useCopy(device, std::vector<std::uint8_t>(30, 0xFF));
  device.sendEan13CheckDigit = 0;
  device.sendUpcACheckDigit = 1;
  device.upcAAsEan13 = 0;
  Record record{};
  ASSERT_EQ(getReaderSettings(context.settings, record.data()), 1);
  EXPECT_EQ(record[56], 0);
  EXPECT_EQ(record[60], 1);
  EXPECT_EQ(record[61], 0);
}

TEST(SettingsRecordLayout, AKeyTextLongerThanItsFieldIsReportedCutWithItsTerminator) {
  ReaderDevice device;
  Context context(device);
  device.autoReadKey.set("0123456789ABCDEFGHIJ");
  Record record;
  record.fill(0xEE);
  ASSERT_EQ(getReaderSettings(context.settings, record.data()), 1);
  EXPECT_EQ(std::string(reinterpret_cast<const char *>(record.data() + 321)), "0123456789ABCD");
  EXPECT_EQ(record[335], 0);
  EXPECT_EQ(record[0], 32);
}

}  // namespace
}  // namespace reader
