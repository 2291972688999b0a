// What the settings calls know of the engine across a restart, and what they
// do with an engine that has stopped answering.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "readersim/ssi_packet.h"
#include "settings_terminal.h"

namespace settings_testing {
namespace {

constexpr int kVariant3ScanTimeByte = 283;
constexpr readersim::ssi::ParameterNumber kScanTimeParameter = 0x88;
constexpr int kTextEngineCode128Byte = 75;
constexpr int kTextEngineCode39Byte = 62;

std::size_t countOpcode(const std::vector<std::vector<std::uint8_t>> &frames, std::uint8_t opcode) {
  return static_cast<std::size_t>(
      std::count_if(frames.begin(), frames.end(), [&](const auto &f) { return f.size() > 1 && f[1] == opcode; }));
}

TEST(SettingsEngineState, AValueSetBeforeARestartIsSentAgainAfterIt) {
  SimulatedTerminal terminal(3);
  ASSERT_EQ(InitReader(), READER_OK);
  Record record = getSettings();
  record[kVariant3ScanTimeByte] = 50;
  setSettings(record);
  ASSERT_EQ(terminal.ssiEngine().parameter(kScanTimeParameter), 50);

  // The start puts the engine's scan time back to 30 (its defaults frame).
  ASSERT_EQ(HaltReader(READER_DEVICE_ALL), READER_OK);
  ASSERT_EQ(InitReader(), READER_OK);
  ASSERT_EQ(terminal.ssiEngine().parameter(kScanTimeParameter), 30);
  setSettings(record);
  EXPECT_EQ(terminal.ssiEngine().parameter(kScanTimeParameter), 50);

  // An engine that lost its settings while the reader was halted gets them
  // again too.
  ASSERT_EQ(HaltReader(READER_DEVICE_ALL), READER_OK);
  terminal.ssiEngine().setParameter(kScanTimeParameter, 30);
  ASSERT_EQ(InitReader(), READER_OK);
  terminal.ssiEngine().setParameter(kScanTimeParameter, 99);
  ASSERT_EQ(HaltReader(READER_DEVICE_ALL), READER_OK);
  ASSERT_EQ(InitReader(), READER_OK);
  setSettings(record);
  EXPECT_EQ(terminal.ssiEngine().parameter(kScanTimeParameter), 50);
}

TEST(SettingsEngineState, ASilentSsiEngineIsAskedForOneGroupOnly) {
  SimulatedTerminal terminal(3);
  ASSERT_EQ(InitReader(), READER_OK);
  terminal.ssiEngine().setSilent(true);
  TrafficSince traffic(terminal.ssiEngine());
  Record record;
  EXPECT_EQ(GetReaderSettings(record.data()), 1);
  // Five attempts at the first group, and no request for any other.
  EXPECT_EQ(countOpcode(traffic.frames(), readersim::ssi::kOpcodeParamRequest), 5u);
  EXPECT_EQ(record[0] & 4, 4);  // the engine is still reported

  // Once it answers again, the next call reads every group.
  terminal.ssiEngine().setSilent(false);
  Record answered = getSettings();
  EXPECT_EQ(answered[kVariant3ScanTimeByte], 30);
}

TEST(SettingsEngineState, ASilentTextEngineGetsOneBlockOnly) {
  SimulatedTerminal terminal(2);
  ASSERT_EQ(InitReader(), READER_OK);
  Record record = getSettings();
  record[kTextEngineCode128Byte] = record[kTextEngineCode128Byte] ? 0 : 1;
  record[kTextEngineCode39Byte] = record[kTextEngineCode39Byte] ? 0 : 1;
  terminal.textEngine().setSilent(true);
  const std::size_t before = terminal.textEngine().commands().size();
  EXPECT_EQ(SetReaderSettings(record.data()), 1);
  const std::vector<std::string> commands = terminal.textEngine().commands();
  EXPECT_EQ(commands.size() - before, 1u);
}

}  // namespace
}  // namespace settings_testing
