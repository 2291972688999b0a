// The settings record with the text-command engine, through the exported
// functions and a simulated terminal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings_terminal.h"

namespace settings_testing {
namespace {

// Bit widths of the text engine's record bytes 1 to 82 (0 = not in use);
// byte 32 is coded 0 to 4.
int widthOf(int byte) {
  switch (byte) {
    case 11:
    case 18:
    case 25:
    case 34:
    case 35:
    case 80: return 2;
    case 78: return 4;
    case 15:
    case 22:
    case 29:
    case 37: return 7;
    case 16:
    case 23:
    case 30:
    case 38:
    case 79: return 8;
    case 77: return 0;
    default: return 1;
  }
}

std::vector<std::string> commandsIn(const std::vector<std::vector<std::uint8_t>> &frames) {
  std::vector<std::string> commands;
  for (const auto &frame : frames) commands.push_back(readersim::TextEngine::commandText(frame).substr(0, 4));
  return commands;
}

// A record with every text engine byte changed to another value its field
// can hold. The trigger mode ends on 6, which does not trigger by itself.
Record everyFieldChanged(const Record &current) {
  Record changed = current;
  for (int b = 1; b <= 82; ++b) {
    const int max = (1 << widthOf(b)) - 1;
    if (b == 32)
      changed[b] = current[b] == 2 ? 4 : 2;
    else if (b == 78)
      changed[b] = current[b] == 6 ? 2 : 6;
    else if (max > 0)
      changed[b] = static_cast<unsigned char>(max == 1 ? 1 - current[b] : (current[b] + max / 2 + 1) % (max + 1));
  }
  return changed;
}

TEST(SettingsTextEngine, ARoundTripChangesEveryFieldInTheEngineAndARefusedOneNothing) {
  SimulatedTerminal t(2);
  ASSERT_EQ(InitReader(), 1);
  const Record before = getSettings();
  EXPECT_EQ(before[0], 33);
  const Record wanted = everyFieldChanged(before);

  // Every group, EAN-128 included, puts the library's copy back when the
  // engine refuses; only the three UPC/EAN options it holds follow the caller.
  t.textEngine().setRefuseAll(true);
  setSettings(wanted);
  Record after = getSettings();
  for (int b = 1; b <= 82; ++b) {
    const bool held = b == 56 || b == 60 || b == 61;
    EXPECT_EQ(after[b], held ? wanted[b] : before[b]) << "record byte " << b;
  }
  EXPECT_EQ(t.textEngine().block(), readersim::TextEngine::defaultBlock());

  t.textEngine().setRefuseAll(false);
  setSettings(wanted);
  const std::vector<std::uint8_t> block = t.textEngine().block();
  EXPECT_EQ(block[7] & 0x38, 0x18);  // byte 32 = 2: on (bit 3), value 1 (bits 4-5)
  EXPECT_EQ(block[20] >> 4, 6);
  EXPECT_EQ(block[21], wanted[79]);
  // Forget the library's copy: a new start reads the engine's block again.
  ASSERT_EQ(HaltReader(READER_DEVICE_BARCODE), 1);
  ASSERT_EQ(InitReader(), 1);
  after = getSettings();
  for (int b = 1; b <= 82; ++b) EXPECT_EQ(after[b], wanted[b]) << "record byte " << b;

  // The record unchanged: only the Code 128 and EAN-128 groups are sent,
  // and they change nothing.
  TrafficSince traffic(t.textEngine());
  setSettings(after);
  EXPECT_EQ(commandsIn(traffic.frames()), (std::vector<std::string>{"SAVE", "SAVE"}));
  EXPECT_EQ(t.textEngine().block(), block);
}

TEST(SettingsTextEngine, TheDefaultSetUpWritesTheDefaultsAndARepeatSendsOnlyCode128AndEan128) {
  SimulatedTerminal t(2);
  TrafficSince start(t.textEngine());
  ASSERT_EQ(InitReaderEx(), 1);
  const auto first = commandsIn(start.frames());
  // Probe, the block, then the groups that differ.
  ASSERT_GT(first.size(), 4u);
  EXPECT_EQ(first[0], "VER");
  EXPECT_EQ(first[1], "SET");
  EXPECT_EQ(first.back(), "SAVE");

  TrafficSince again(t.textEngine());
  ASSERT_EQ(ResetReaderToDefault(READER_DEVICE_BARCODE), 1);
  EXPECT_EQ(commandsIn(again.frames()), (std::vector<std::string>{"SET", "SAVE", "SAVE"}));
  // The copy was just read from the engine ("SET").
  const Record record = getSettings();
  const std::pair<int, int> defaults[] = {{15, 127}, {16, 4}, {25, 2}, {32, 0}, {56, 1},
                                          {75, 0},   {76, 0}, {78, 6}, {79, 3}, {80, 0}};
  for (const auto &[byte, value] : defaults) EXPECT_EQ(record[byte], value) << "record byte " << byte;
}

}  // namespace
}  // namespace settings_testing
