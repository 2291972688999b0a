// The settings record with the SSI engines, through the exported functions
// and a simulated terminal.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "readersim/ssi_packet.h"
#include "settings_terminal.h"

namespace settings_testing {
namespace {

using readersim::ssi::twoByte;

struct Section {
  int first, last;               // record bytes
  std::vector<int> lengthModes;  // each followed by its L1 and L2 bytes
  int code39Enable, upcE;
};

Section sectionOf(int kind) {
  if (kind == 3) return {191, 290, {217, 224, 228, 234, 241, 245, 251}, 213, 192};
  return {101, 168, {127, 134, 138, 145, 149, 155}, 123, 102};
}

class SettingsSsiEngine : public ::testing::TestWithParam<int> {};

TEST_P(SettingsSsiEngine, ARoundTripChangesEveryFieldInTheEngineAndAnUnchangedRecordSendsNothing) {
  const int kind = GetParam();
  const Section s = sectionOf(kind);
  SimulatedTerminal t(kind);
  readersim::SsiEngine &e = t.ssiEngine();
  if (kind == 3) {
    ASSERT_TRUE(e.setParameter(0xBC, 5));  // byte 280: reported as 2
  }
  ASSERT_EQ(InitReader(), 1);
  const Record before = getSettings();
  EXPECT_EQ(before[0], kind == 3 ? 36 : 34);

  // Flags and small values swap 0 and 1, larger values go up by one. Byte
  // 119 stands for a parameter only variant 3 has; byte 167 is the aiming
  // time, which the library keeps.
  Record wanted = before;
  for (int b = s.first; b <= s.last; ++b)
    if (kind == 3 || b != 119) wanted[b] = static_cast<unsigned char>(before[b] <= 1 ? 1 - before[b] : before[b] + 1);
  // Length mode 2 puts the larger length first; mode 3 sends them as they are.
  Record expected = wanted;
  for (std::size_t i = 0; i < s.lengthModes.size(); ++i) {
    const int m = s.lengthModes[i];
    const int l1 = 6 + int(i), l2 = 40 + int(i);
    wanted[m] = expected[m] = i % 2 == 0 ? 2 : 3;
    wanted[m + 1] = expected[m + 1] = static_cast<unsigned char>(l1);
    wanted[m + 2] = expected[m + 2] = static_cast<unsigned char>(l2);
    if (i % 2 == 0) std::swap(expected[m + 1], expected[m + 2]);
  }
  if (kind == 3) expected[280] = 2;  // the 3 is sent as 2
  setSettings(wanted);

  // Spot checks in the engine: Code 39 lengths swapped, Code 93 kept, a
  // two-byte number, and the codings of bytes 280 and 282.
  EXPECT_EQ(e.parameter(0x12), 40);
  EXPECT_EQ(e.parameter(0x13), 6);
  EXPECT_EQ(e.parameter(0x1A), 7);
  EXPECT_EQ(e.parameter(0x1B), 41);
  if (kind == 3) {
    EXPECT_EQ(e.parameter(twoByte(0x46)), wanted[263]);
    EXPECT_EQ(e.parameter(0xBC), 2);
    EXPECT_EQ(e.parameter(0xE9), 2);  // byte 282 = 1
  } else {
    EXPECT_EQ(e.parameter(twoByte(0x8D)), wanted[164]);
  }

  // A read asks the engine, which may have changed behind the library.
  ASSERT_TRUE(e.setParameter(0x00, 1));
  expected[s.code39Enable] = 1;
  const Record after = getSettings();
  for (int b = s.first; b <= s.last; ++b) EXPECT_EQ(after[b], expected[b]) << "record byte " << b;

  TrafficSince traffic(e);
  setSettings(after);
  EXPECT_TRUE(traffic.frames().empty());
}

// ---- The default set-up -------------------------------------------------------

// Whether a PARAM_SEND among `packets` sets the one-byte parameter `number`.
bool anySendSets(const std::vector<readersim::ssi::Packet> &packets, std::uint8_t number) {
  for (const auto &p : packets) {
    if (p.opcode != readersim::ssi::kOpcodeParamSend) continue;
    for (std::size_t i = 1; i + 1 < p.data.size(); i += p.data[i] == 0xF0 ? 3 : 2)
      if (p.data[i] == number) return true;
  }
  return false;
}

class SettingsSsiSetUp : public ::testing::TestWithParam<int> {};

// The engine's own reset moves it back to 9600 first: slow, so one run per
// variant covers the traffic, the values, what the library forgets, and a
// failed reset.
TEST_P(SettingsSsiSetUp, AResetGoesThroughTheEnginesDefaultsToTheLibrarysAndForgetsTheKnownValues) {
  const int kind = GetParam();
  SimulatedTerminal t(kind);
  readersim::SsiEngine &e = t.ssiEngine();
  ASSERT_EQ(InitReader(), 1);
  // A setting the engine's own reset takes back, known to the library.
  Record record = getSettings();
  record[sectionOf(kind).upcE] = 0;
  record[342] = 5;  // an option
  setSettings(record);
  ASSERT_EQ(e.parameter(0x02), 0);

  const std::size_t from = e.packetsReceived().size();
  ASSERT_EQ(ResetReaderToDefault(READER_DEVICE_BARCODE), 1);
  const auto all = e.packetsReceived();
  const std::vector<readersim::ssi::Packet> packets(all.begin() + static_cast<std::ptrdiff_t>(from), all.end());
  ASSERT_FALSE(packets.empty());
  EXPECT_EQ(packets[0].opcode, readersim::ssi::kOpcodeSetDefaults);
  EXPECT_EQ(e.speed(), kind == 3 ? 115200 : 38400);
  // Code 128 is on after the engine's reset: read, and left alone.
  EXPECT_FALSE(anySendSets(packets, 0x08));
  // Variant 3 also clears the engine's redundancy (0x4D).
  const std::pair<int, int> values[] = {{0x00, 1},  {0x12, 4}, {0x13, 55}, {0x18, kind == 3 ? 5 : 4},
                                        {0x19, 55}, {0x53, 1}, {0x88, 30}, {0x4D, kind == 3 ? 0 : 1}};
  for (const auto &[number, value] : values) EXPECT_EQ(e.parameter(number), value) << "parameter " << number;
  if (kind == 3) {
    for (auto n : {twoByte(0x55), twoByte(0x46), twoByte(0x29)}) EXPECT_EQ(e.parameter(n), 1) << n;
  }

  // The engine's reset turned UPC-E on again: the same record turns it off.
  setSettings(record);
  EXPECT_EQ(e.parameter(0x02), 0);

  // An engine that cannot be reached again fails the reset; the options are
  // reset all the same.
  e.vanish();
  EXPECT_EQ(ResetReaderToDefault(READER_DEVICE_ALL), READER_ERR_BARCODE_FAILED);
  ASSERT_EQ(HaltReader(READER_DEVICE_BARCODE), 1);
  EXPECT_EQ(getSettings()[342], 1);
}

// The frames of the reset up to the first one sent at `speed`, with the
// host speed each went out at.
std::vector<std::pair<std::uint8_t, int>> opcodesUpTo(const std::vector<readersim::TrafficRecord> &records,
                                                      std::size_t from, int speed) {
  std::vector<std::pair<std::uint8_t, int>> out;
  for (std::size_t i = from; i < records.size(); ++i) {
    if (records[i].type != readersim::RecordType::FromHost) continue;
    const std::uint8_t opcode = records[i].bytes.size() > 1 ? records[i].bytes[1] : 0;
    out.emplace_back(opcode, records[i].hostSpeed);
    if (records[i].hostSpeed == speed && out.size() > 1) break;
  }
  return out;
}

// The engine's reset puts it at 9600, where the link is looked for first; an
// engine that kept its speed is found at its working speed after that.
TEST_P(SettingsSsiSetUp, AfterTheEnginesResetItsLinkIsLookedForAt9600First) {
  const int kind = GetParam();
  const int working = kind == 3 ? 115200 : 38400;
  for (const bool keepsSpeed : {false, true}) {
    SCOPED_TRACE(keepsSpeed ? "engine keeps its speed" : "engine back at 9600");
    SimulatedTerminal t(kind, keepsSpeed);
    ASSERT_EQ(InitReader(), 1);
    const std::size_t from = t.engine().log().size();
    ASSERT_EQ(ResetReaderToDefault(READER_DEVICE_BARCODE), 1);
    EXPECT_EQ(t.ssiEngine().speed(), working);
    const auto frames = opcodesUpTo(t.engine().log().snapshot(), from, working);
    using Frame = std::pair<std::uint8_t, int>;
    const std::uint8_t revision = readersim::ssi::kOpcodeRevisionRequest;
    std::vector<Frame> expected{{readersim::ssi::kOpcodeSetDefaults, working}};
    if (keepsSpeed) {
      // Five unanswered revision requests at 9600, then the working speed.
      for (int i = 0; i < 5; ++i) expected.emplace_back(revision, 9600);
      expected.emplace_back(revision, working);
    } else {
      // Found at once, then moved to the working speed by parameter 0x9C.
      expected.emplace_back(revision, 9600);
      expected.emplace_back(readersim::ssi::kOpcodeParamSend, 9600);
      expected.emplace_back(readersim::ssi::kOpcodeParamSend, working);  // the set-up that follows
    }
    EXPECT_EQ(frames, expected);
    // The engine answers at its working speed afterwards.
    getSettings();
    EXPECT_EQ(t.engine().hostSpeed(), working);
  }
}

INSTANTIATE_TEST_SUITE_P(Variants, SettingsSsiEngine, ::testing::Values(3, 4),
                         [](const auto &info) { return "Kind" + std::to_string(info.param); });
INSTANTIATE_TEST_SUITE_P(Variants, SettingsSsiSetUp, ::testing::Values(3, 4),
                         [](const auto &info) { return "Kind" + std::to_string(info.param); });

}  // namespace
}  // namespace settings_testing
