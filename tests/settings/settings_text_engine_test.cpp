// The settings record with the text-command engine, through the exported
// functions and a simulated terminal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings_terminal.h"

namespace settings_testing {
namespace {

// Bit widths of the text engine's record bytes (0 = not in use); byte 32 is
// coded 0 to 4.
int widthOf(int byte) {
  switch (byte) {
    case 11: case 18: case 25: case 34: case 35: case 80: return 2;
    case 78: return 4;
    case 15: case 22: case 29: case 37: return 7;
    case 16: case 23: case 30: case 38: case 79: return 8;
    case 77: return 0;
    default: return byte >= 1 && byte <= 82 ? 1 : 0;
  }
}

// The Default column of the text engine's section.
const std::vector<std::pair<int, int>> kTextEngineDefaults = {
    {1, 1},  {2, 0},  {3, 0},  {4, 1},  {5, 0},   {6, 0},  {7, 1},  {8, 0},   {9, 1},  {10, 1}, {11, 0},
    {12, 0}, {13, 1}, {14, 1}, {15, 127}, {16, 4}, {17, 1}, {18, 1}, {19, 0},  {20, 1}, {21, 1}, {22, 127},
    {23, 4}, {24, 1}, {25, 2}, {26, 0}, {27, 1},   {28, 1}, {29, 127}, {30, 4}, {31, 1}, {32, 0}, {33, 0},
    {34, 0}, {35, 1}, {36, 1}, {37, 127}, {38, 4}, {39, 0}, {40, 0}, {41, 1},  {42, 1}, {43, 0}, {44, 0},
    {45, 1}, {46, 0}, {47, 0}, {48, 1}, {49, 1},   {50, 0}, {51, 0}, {52, 0},  {53, 1}, {54, 0}, {55, 0},
    {56, 1}, {57, 0}, {58, 0}, {59, 1}, {60, 1},   {61, 1}, {62, 0}, {63, 1},  {64, 0}, {65, 1}, {66, 1},
    {67, 1}, {68, 0}, {69, 1}, {70, 1}, {71, 1},   {72, 0}, {73, 1}, {74, 1},  {75, 0}, {76, 0}, {78, 6},
    {79, 3}, {80, 0}, {81, 0}, {82, 0},
};

std::vector<std::string> savesIn(const std::vector<std::vector<std::uint8_t>> &frames) {
  std::vector<std::string> saves;
  for (const auto &frame : frames) {
    const std::string text = readersim::TextEngine::commandText(frame);
    if (text.rfind("SAVE", 0) == 0) saves.push_back(text);
  }
  return saves;
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
    const int width = widthOf(b);
    if (width == 0) continue;
    if (b == 32) {
      changed[b] = static_cast<unsigned char>((current[b] + 2) % 5);
    } else if (b == 78) {
      changed[b] = current[b] == 6 ? 2 : 6;
    } else {
      const int max = (1 << width) - 1;
      changed[b] = static_cast<unsigned char>(width == 1 ? 1 - current[b] : (current[b] + max / 2 + 1) % (max + 1));
    }
  }
  return changed;
}

TEST(SettingsTextEngine, ARoundTripChangesEveryFieldInTheEngineItself) {
  SimulatedTerminal t(2);
  ASSERT_EQ(InitReader(), 1);
  const Record before = getSettings();
  EXPECT_EQ(before[0], 33);
  EXPECT_EQ(before[79], readersim::TextEngine::defaultBlock()[21]);  // the engine's scan time
  for (int b = 101; b <= 290; ++b) ASSERT_EQ(before[b], 0) << b;

  const Record wanted = everyFieldChanged(before);
  setSettings(wanted);
  // Forget the library's copy: a new start reads the engine's block again.
  ASSERT_EQ(HaltReader(READER_DEVICE_BARCODE), 1);
  ASSERT_EQ(InitReader(), 1);
  const Record after = getSettings();
  for (int b = 1; b <= 82; ++b) EXPECT_EQ(after[b], wanted[b]) << "record byte " << b;
  EXPECT_NE(t.textEngine().block(), readersim::TextEngine::defaultBlock());
}

TEST(SettingsTextEngine, AnUnchangedRecordSendsOnlyTheCode128AndEan128Groups) {
  SimulatedTerminal t(2);
  ASSERT_EQ(InitReader(), 1);
  const Record record = getSettings();
  TrafficSince traffic(t.textEngine());
  setSettings(record);
  const auto frames = traffic.frames();
  EXPECT_EQ(frames.size(), 2u);
  EXPECT_EQ(savesIn(frames).size(), 2u);
  // They leave the summary of the Code 128 and EAN-128 bits in byte 1 bit 7,
  // which the factory block lacks; nothing else changes.
  std::vector<std::uint8_t> expected = readersim::TextEngine::defaultBlock();
  expected[1] |= 0x80;
  EXPECT_EQ(t.textEngine().block(), expected);
}

TEST(SettingsTextEngine, ARefusingEngineKeepsItsSettingsAndTheRecordSaysSo) {
  SimulatedTerminal t(2);
  ASSERT_EQ(InitReader(), 1);
  const Record before = getSettings();
  t.textEngine().setRefuseAll(true);
  setSettings(everyFieldChanged(before));
  const Record after = getSettings();
  for (int b = 1; b <= 82; ++b) {
    // The three UPC/EAN options held by the library follow the caller.
    if (b == 56 || b == 60 || b == 61) continue;
    EXPECT_EQ(after[b], before[b]) << "record byte " << b;
  }
  EXPECT_EQ(t.textEngine().block(), readersim::TextEngine::defaultBlock());
}

TEST(SettingsTextEngine, TheStartSetUpWritesTheDefaultsAndARepeatSendsOnlyCode128AndEan128) {
  SimulatedTerminal t(2);
  TrafficSince start(t.textEngine());
  ASSERT_EQ(InitReaderEx(), 1);
  const auto first = commandsIn(start.frames());
  // Probe, the block, then the changed groups.
  ASSERT_GE(first.size(), 4u);
  EXPECT_EQ(first[0], "VER");
  EXPECT_EQ(first[1], "SET");
  EXPECT_GT(savesIn(start.frames()).size(), 2u);

  const Record record = getSettings();
  for (const auto &[byte, value] : kTextEngineDefaults) EXPECT_EQ(record[byte], value) << "record byte " << byte;

  TrafficSince again(t.textEngine());
  ASSERT_EQ(ResetReaderToDefault(READER_DEVICE_BARCODE), 1);
  const auto second = commandsIn(again.frames());
  EXPECT_EQ(second, (std::vector<std::string>{"SET", "SAVE", "SAVE"}));
}

TEST(SettingsTextEngine, AResetForTheModuleAloneLeavesTheEngineAlone) {
  SimulatedTerminal t(2);
  ASSERT_EQ(InitReader(), 1);
  Record changed = getSettings();
  changed[342] = 7;
  changed[347] = 0;
  setSettings(changed);
  TrafficSince traffic(t.textEngine());
  EXPECT_EQ(ResetReaderToDefault(READER_DEVICE_RFID), 1);
  EXPECT_TRUE(traffic.frames().empty());
  const Record after = getSettings();
  EXPECT_EQ(after[342], 1);
  EXPECT_EQ(after[347], 1);
}

TEST(SettingsTextEngine, AnEngineWithAShortBlockHasNoSettingsToReadOrWrite) {
  readersim::TerminalConfig config = terminalConfig(2);
  config.textEngine.block = readersim::TextEngine::defaultBlock(29);
  SimulatedTerminal t(config);
  ASSERT_EQ(InitReader(), 1);
  Record record = getSettings();
  EXPECT_EQ(record[0], 33);
  for (int b = 1; b <= 82; ++b) ASSERT_EQ(record[b], 0) << b;
  TrafficSince traffic(t.textEngine());
  record[1] = 1;
  setSettings(record);
  EXPECT_TRUE(traffic.frames().empty());
}

TEST(SettingsTextEngine, DefaultSettingsResetTheDevicesEvenWhenTheRecordIsMissing) {
  SimulatedTerminal t(2);
  ASSERT_EQ(InitReader(), 1);
  TrafficSince traffic(t.textEngine());
  EXPECT_EQ(GetDllDefaultSettings(nullptr), READER_ERR_SETTINGS);
  ASSERT_FALSE(commandsIn(traffic.frames()).empty());
  EXPECT_EQ(commandsIn(traffic.frames())[0], "SET");
  EXPECT_EQ(getSettings()[78], 6);
}

}  // namespace
}  // namespace settings_testing
