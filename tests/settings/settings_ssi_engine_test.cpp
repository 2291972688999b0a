// The settings record with the SSI engines, through the exported functions
// and a simulated terminal.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "readersim/ssi_packet.h"
#include "settings_terminal.h"

namespace settings_testing {
namespace {

using readersim::ssi::ParameterNumber;
using readersim::ssi::twoByte;

enum class Kind { Flag, Value, LengthMode, CappedAtTwo, NonzeroAsTwo };

struct ByteMap {
  int byte;
  ParameterNumber number;  // 0 for a length mode
  Kind kind;
  int l1Byte = 0;  // length mode: the bytes of its lengths
};

constexpr ByteMap F(int b, ParameterNumber n) { return {b, n, Kind::Flag}; }
constexpr ByteMap V(int b, ParameterNumber n) { return {b, n, Kind::Value}; }
constexpr ByteMap M(int b) { return {b, 0, Kind::LengthMode, b + 1}; }

// The SSI sections, written down from the record layout. Byte 119 (0x44
// with variant 4) and byte 167 (the aiming time) are not engine parameters.
const std::vector<ByteMap> kVariant4 = {
    F(101, 0x01), F(102, 0x02), F(103, 0x0C), F(104, 0x04), F(105, 0x03), F(106, 0x53), V(107, 0x10),
    V(108, 0x50), F(109, 0x28), F(110, 0x29), F(111, 0x2A), V(112, 0x22), V(113, 0x23), V(114, 0x24),
    F(115, 0x25), F(116, 0x26), F(117, 0x27), F(118, 0x55), F(120, 0x08), F(121, 0x0E), F(122, 0x54),
    F(123, 0x00), F(124, 0x0D), F(125, 0x56), F(126, 0xE7), M(127),       V(128, 0x12), V(129, 0x13),
    F(130, 0x30), F(131, 0x2B), F(132, 0x11), F(133, 0x09), M(134),       V(135, 0x1A), V(136, 0x1B),
    F(137, 0x06), M(138),       V(139, 0x16), V(140, 0x17), V(141, 0x31), F(142, 0x2C), F(143, 0x52),
    F(144, 0x05), M(145),       V(146, 0x14), V(147, 0x15), F(148, 0x07), M(149),       V(150, 0x18),
    V(151, 0x19), F(152, 0x36), F(153, 0x37), F(154, 0x0B), M(155),       V(156, 0x1E), V(157, 0x1F),
    F(158, 0x32), F(159, 0x2E), V(160, 0x33), F(161, twoByte(0x52)), F(162, twoByte(0x53)),
    F(163, twoByte(0x54)), F(164, twoByte(0x8D)), V(165, 0x88), V(166, 0x89), V(168, 0x2D),
};

const std::vector<ByteMap> kVariant3 = {
    F(191, 0x01), F(192, 0x02), F(193, 0x0C), F(194, 0x04), F(195, 0x03), F(196, 0x53), V(197, 0x10),
    V(198, 0x50), F(199, 0x28), F(200, 0x29), F(201, 0x2A), V(202, 0x22), V(203, 0x23), V(204, 0x24),
    F(205, 0x25), F(206, 0x26), F(207, 0x27), F(208, 0x55), F(209, 0x44), F(210, 0x08), F(211, 0x0E),
    F(212, 0x54), F(213, 0x00), F(214, 0x0D), F(215, 0x56), F(216, 0xE7), M(217),       V(218, 0x12),
    V(219, 0x13), F(220, 0x30), F(221, 0x2B), F(222, 0x11), F(223, 0x09), M(224),       V(225, 0x1A),
    V(226, 0x1B), F(227, 0x0A), M(228),       V(229, 0x1C), V(230, 0x1D), V(231, 0x34), F(232, 0x2F),
    F(233, 0x06), M(234),       V(235, 0x16), V(236, 0x17), V(237, 0x31), F(238, 0x2C), F(239, 0x52),
    F(240, 0x05), M(241),       V(242, 0x14), V(243, 0x15), F(244, 0x07), M(245),       V(246, 0x18),
    V(247, 0x19), F(248, 0x36), F(249, 0x37), F(250, 0x0B), M(251),       V(252, 0x1E), V(253, 0x1F),
    F(254, 0x32), F(255, 0x2E), V(256, 0x33), F(257, 0x59), F(258, 0x5A), F(259, 0x5B), F(260, 0x60),
    F(261, twoByte(0x22)), F(262, twoByte(0x23)), F(263, twoByte(0x46)), F(264, 0x5F),
    F(265, twoByte(0x52)), F(266, twoByte(0x53)), F(267, twoByte(0x54)), F(268, twoByte(0x8D)),
    F(269, twoByte(0x55)), F(270, twoByte(0x56)), F(271, twoByte(0x73)), V(272, twoByte(0x58)),
    F(273, twoByte(0xAB)), F(274, 0x0F), F(275, 0xE3), F(276, 0x7B), F(277, twoByte(0x24)),
    F(278, twoByte(0x26)), F(279, twoByte(0x25)), {280, 0xBC, Kind::CappedAtTwo}, F(281, 0xB8),
    {282, 0xE9, Kind::NonzeroAsTwo}, V(283, 0x88), V(284, 0x89), F(285, twoByte(0x29)),
    F(286, twoByte(0x2A)), V(287, twoByte(0x32)), V(288, twoByte(0xA6)), V(289, twoByte(0xAD)),
    V(290, 0x2D),
};

const std::vector<ByteMap> &sectionOf(int kind) { return kind == 3 ? kVariant3 : kVariant4; }

int derivedLengthMode(int l1, int l2) { return l1 == 0 && l2 == 0 ? 0 : (l1 >= l2 ? 2 : 3); }

// What the engine should hold for a record byte.
int engineValueFor(const ByteMap &m, int recordValue) {
  switch (m.kind) {
    case Kind::Flag: return recordValue != 0 ? 1 : 0;
    case Kind::CappedAtTwo: return recordValue > 1 ? 2 : recordValue;
    case Kind::NonzeroAsTwo: return recordValue != 0 ? 2 : 0;
    default: return recordValue;
  }
}

// What the record should report for an engine value.
int recordValueFor(const ByteMap &m, int engineValue) {
  switch (m.kind) {
    case Kind::CappedAtTwo: return engineValue > 1 ? 2 : engineValue;
    case Kind::NonzeroAsTwo: return engineValue != 0 ? 1 : 0;
    default: return engineValue;
  }
}

void expectRecordMatchesEngine(const Record &record, readersim::SsiEngine &engine, int kind) {
  for (const ByteMap &m : sectionOf(kind)) {
    if (m.kind == Kind::LengthMode) {
      EXPECT_EQ(record[m.byte], derivedLengthMode(record[m.l1Byte], record[m.l1Byte + 1])) << "byte " << m.byte;
      continue;
    }
    const auto value = engine.parameter(m.number);
    ASSERT_TRUE(value.has_value()) << "byte " << m.byte;
    EXPECT_EQ(record[m.byte], recordValueFor(m, *value)) << "byte " << m.byte;
  }
}

// Every engine byte of the section changed; each length pair gets a new
// ascending pair and its mode 3.
Record everyFieldChanged(const Record &current, int kind) {
  Record changed = current;
  for (const ByteMap &m : sectionOf(kind)) {
    switch (m.kind) {
      case Kind::Flag: changed[m.byte] = current[m.byte] != 0 ? 0 : 1; break;
      case Kind::Value: changed[m.byte] = static_cast<unsigned char>((current[m.byte] + 3) % 250 + 1); break;
      case Kind::CappedAtTwo: changed[m.byte] = current[m.byte] == 2 ? 1 : 2; break;
      case Kind::NonzeroAsTwo: changed[m.byte] = current[m.byte] != 0 ? 0 : 1; break;
      case Kind::LengthMode: break;
    }
  }
  int pair = 0;
  for (const ByteMap &m : sectionOf(kind)) {
    if (m.kind != Kind::LengthMode) continue;
    ++pair;
    changed[m.byte] = 3;
    changed[m.l1Byte] = static_cast<unsigned char>(6 + pair);
    changed[m.l1Byte + 1] = static_cast<unsigned char>(40 + pair);
  }
  return changed;
}

class SettingsSsiEngine : public ::testing::TestWithParam<int> {};

TEST_P(SettingsSsiEngine, ARoundTripChangesEveryFieldInTheEngineItself) {
  const int kind = GetParam();
  SimulatedTerminal t(kind);
  ASSERT_EQ(InitReader(), 1);
  const Record before = getSettings();
  EXPECT_EQ(before[0], kind == 3 ? 36 : 34);
  for (int b = 1; b <= 82; ++b) ASSERT_EQ(before[b], 0) << b;
  expectRecordMatchesEngine(before, t.ssiEngine(), kind);

  Record wanted = everyFieldChanged(before, kind);
  if (kind == 4) wanted[167] = 25;  // the aiming time, kept by the library
  setSettings(wanted);
  const Record after = getSettings();
  expectRecordMatchesEngine(after, t.ssiEngine(), kind);
  for (const ByteMap &m : sectionOf(kind)) EXPECT_EQ(after[m.byte], wanted[m.byte]) << "byte " << m.byte;
  if (kind == 4) {
    EXPECT_EQ(after[167], 25);
    EXPECT_EQ(after[119], 0);
  }
  for (const ByteMap &m : sectionOf(kind)) {
    if (m.kind == Kind::LengthMode) continue;
    EXPECT_EQ(t.ssiEngine().parameter(m.number), engineValueFor(m, wanted[m.byte])) << "byte " << m.byte;
  }
}

TEST_P(SettingsSsiEngine, AnUnchangedRecordSendsNothing) {
  const int kind = GetParam();
  SimulatedTerminal t(kind);
  ASSERT_EQ(InitReader(), 1);
  const Record record = getSettings();
  TrafficSince traffic(t.ssiEngine());
  setSettings(record);
  EXPECT_TRUE(traffic.frames().empty());
}

TEST_P(SettingsSsiEngine, ARecordSetWithoutReadingFirstStillReachesTheEngine) {
  // Nothing is known of the engine after a start on the hardware route, so
  // every field of the record is sent, zeros included.
  const int kind = GetParam();
  SimulatedTerminal t(kind);
  ASSERT_EQ(InitReader(), 1);
  ASSERT_EQ(t.ssiEngine().parameter(0x02), 1);  // UPC-E on
  Record zeros{};
  SetReaderSettings(zeros.data());
  EXPECT_EQ(t.ssiEngine().parameter(0x02), 0);
  EXPECT_EQ(t.ssiEngine().parameter(0x00), 0);
}

INSTANTIATE_TEST_SUITE_P(Variants, SettingsSsiEngine, ::testing::Values(3, 4),
                         [](const auto &info) { return "Kind" + std::to_string(info.param); });

TEST(SettingsSsiCodings, LengthModeTwoPutsTheLargerLengthFirstAndOtherModesSendLengthsAsTheyStand) {
  SimulatedTerminal t(4);
  ASSERT_EQ(InitReader(), 1);
  Record record = getSettings();
  record[127] = 2;  // Code 39
  record[128] = 4;
  record[129] = 20;
  record[134] = 3;  // Code 93
  record[135] = 20;
  record[136] = 4;
  record[138] = 0;  // Interleaved 2 of 5
  record[139] = 4;
  record[140] = 20;
  setSettings(record);
  auto &e = t.ssiEngine();
  EXPECT_EQ(e.parameter(0x12), 20);
  EXPECT_EQ(e.parameter(0x13), 4);
  EXPECT_EQ(e.parameter(0x1A), 20);
  EXPECT_EQ(e.parameter(0x1B), 4);
  EXPECT_EQ(e.parameter(0x16), 4);
  EXPECT_EQ(e.parameter(0x17), 20);
  const Record after = getSettings();
  EXPECT_EQ(after[127], 2);
  EXPECT_EQ(after[134], 2);
  EXPECT_EQ(after[138], 3);

  record = after;
  record[145] = 2;  // both lengths 0: mode 0 whatever was written
  record[146] = 0;
  record[147] = 0;
  setSettings(record);
  EXPECT_EQ(getSettings()[145], 0);
}

TEST(SettingsSsiCodings, Bytes280And282AreCodedBothWays) {
  SimulatedTerminal t(3);
  ASSERT_TRUE(t.ssiEngine().setParameter(0xBC, 5));
  ASSERT_TRUE(t.ssiEngine().setParameter(0xE9, 1));
  ASSERT_EQ(InitReader(), 1);
  Record record = getSettings();
  EXPECT_EQ(record[280], 2);
  EXPECT_EQ(record[282], 1);
  record[280] = 9;
  record[282] = 7;
  setSettings(record);
  EXPECT_EQ(t.ssiEngine().parameter(0xBC), 2);
  EXPECT_EQ(t.ssiEngine().parameter(0xE9), 2);
  record[280] = 1;
  record[282] = 0;
  setSettings(record);
  EXPECT_EQ(t.ssiEngine().parameter(0xBC), 1);
  EXPECT_EQ(t.ssiEngine().parameter(0xE9), 0);
}

// ---- The default set-up -------------------------------------------------------

std::vector<readersim::ssi::Packet> packetsSince(readersim::SsiEngine &engine, std::size_t from) {
  auto all = engine.packetsReceived();
  return {all.begin() + static_cast<std::ptrdiff_t>(std::min(from, all.size())), all.end()};
}

// The parameter numbers (one-byte ones) a PARAM_SEND sets.
std::vector<ParameterNumber> numbersSet(const readersim::ssi::Packet &p) {
  std::vector<ParameterNumber> numbers;
  for (std::size_t i = 1; i + 1 < p.data.size();) {
    if (p.data[i] == 0xF0) {
      numbers.push_back(twoByte(p.data[i + 1]));
      i += 3;
    } else {
      numbers.push_back(p.data[i]);
      i += 2;
    }
  }
  return numbers;
}

bool anySendSets(const std::vector<readersim::ssi::Packet> &packets, ParameterNumber number) {
  for (const auto &p : packets) {
    if (p.opcode != readersim::ssi::kOpcodeParamSend) continue;
    const auto numbers = numbersSet(p);
    if (std::find(numbers.begin(), numbers.end(), number) != numbers.end()) return true;
  }
  return false;
}

void expectDefaultsApplied(readersim::SsiEngine &e, int kind) {
  const int codabarL1 = kind == 3 ? 5 : 4;
  const std::vector<std::pair<ParameterNumber, int>> expected = {
      {0x00, 1}, {0x12, 4}, {0x13, 55}, {0x09, 1}, {0x1A, 4}, {0x1B, 55}, {0x0A, 1}, {0x1C, 4},
      {0x1D, 55}, {0x05, 1}, {0x14, 4}, {0x15, 55}, {0x06, 1}, {0x16, 4}, {0x17, 55}, {0x07, 1},
      {0x18, codabarL1}, {0x19, 55}, {0x08, 1}, {0x0B, 1}, {0x1E, 4}, {0x1F, 55}, {0x04, 1},
      {0x03, 1}, {0x53, 1}, {0x88, 30}};
  for (const auto &[number, value] : expected) EXPECT_EQ(e.parameter(number), value) << "parameter " << number;
  if (kind != 3) return;
  for (ParameterNumber n : {ParameterNumber(twoByte(0x55)), ParameterNumber(0x59), ParameterNumber(0x5A),
                            ParameterNumber(0x5B), twoByte(0x22), twoByte(0x23), twoByte(0x46), twoByte(0x29)})
    EXPECT_EQ(e.parameter(n), 1) << "parameter " << n;
  EXPECT_EQ(e.parameter(0x4D), 0);
}

class SettingsSsiSetUp : public ::testing::TestWithParam<int> {};

TEST_P(SettingsSsiSetUp, AResetReturnsTheEngineToItsDefaultsThenAppliesTheLibrarysOwn) {
  const int kind = GetParam();
  SimulatedTerminal t(kind);
  ASSERT_EQ(InitReader(), 1);
  // A setting the engine's own reset takes back, known to the library.
  Record record = getSettings();
  const int upcE = kind == 3 ? 192 : 102;
  record[upcE] = 0;
  setSettings(record);
  ASSERT_EQ(t.ssiEngine().parameter(0x02), 0);

  const std::size_t from = t.ssiEngine().packetsReceived().size();
  ASSERT_EQ(ResetReaderToDefault(READER_DEVICE_BARCODE), 1);
  const auto packets = packetsSince(t.ssiEngine(), from);
  ASSERT_FALSE(packets.empty());
  EXPECT_EQ(packets[0].opcode, readersim::ssi::kOpcodeSetDefaults);
  expectDefaultsApplied(t.ssiEngine(), kind);
  EXPECT_EQ(t.ssiEngine().speed(), kind == 3 ? 115200 : 38400);

  // The engine's reset turned UPC-E on again: the same record turns it off.
  setSettings(record);
  EXPECT_EQ(t.ssiEngine().parameter(0x02), 0);
}

INSTANTIATE_TEST_SUITE_P(Variants, SettingsSsiSetUp, ::testing::Values(3, 4),
                         [](const auto &info) { return "Kind" + std::to_string(info.param); });

// An engine that refuses the reset keeps its own values, so the set-up's
// tests of what is already there can be watched.
TEST(SettingsSsiSetUpTests, GroupsAlreadyHoldingTheDefaultsAreNotWritten) {
  SimulatedTerminal t(4);
  ASSERT_EQ(InitReader(), 1);
  auto &e = t.ssiEngine();
  ASSERT_TRUE(e.setParameter(0x12, 4));    // Code 39: 1, 4, 55 already
  ASSERT_TRUE(e.setParameter(0x1B, 48));   // Code 93: 0, 4, 48
  ASSERT_TRUE(e.setParameter(0x07, 1));    // Codabar: 1, 4, 55 on this variant
  ASSERT_TRUE(e.setParameter(0x18, 4));
  const std::size_t from = e.packetsReceived().size();
  e.nakNext(5);
  ASSERT_EQ(ResetReaderToDefault(READER_DEVICE_BARCODE), 1);
  const auto packets = packetsSince(e, from);
  EXPECT_FALSE(anySendSets(packets, 0x00));
  EXPECT_FALSE(anySendSets(packets, 0x12));
  EXPECT_FALSE(anySendSets(packets, 0x07));
  EXPECT_TRUE(anySendSets(packets, 0x1B));
  EXPECT_EQ(e.parameter(0x1B), 55);
  EXPECT_EQ(e.parameter(0x09), 1);
}

TEST(SettingsSsiSetUpTests, AGroupWhoseReadFailsIsJudgedOnTheValuesHeldFromBefore) {
  SimulatedTerminal t(4);
  ASSERT_EQ(InitReader(), 1);
  auto &e = t.ssiEngine();
  ASSERT_TRUE(e.setParameter(0x12, 4));  // Code 39 holds 1, 4, 55 already
  // Refuse the reset, then the Code 39 read, the first request after the
  // engine's first parameter set-up (0x8A ...).
  bool armed = false;
  e.log().setListener([&](const readersim::TrafficRecord &r) {
    if (!armed && r.isFrame() && r.bytes.size() > 5 && r.bytes[1] == 0xC6 && r.bytes[5] == 0x8A) {
      armed = true;
      e.nakNext(5);
    }
  });
  const std::size_t from = e.packetsReceived().size();
  e.nakNext(5);
  ASSERT_EQ(ResetReaderToDefault(READER_DEVICE_BARCODE), 1);
  e.log().setListener({});
  ASSERT_TRUE(armed);
  // Nothing was learnt from the engine, so the values held at the start
  // (on, lengths 0 and 0) fail the test and the group is written.
  const auto packets = packetsSince(e, from);
  EXPECT_TRUE(anySendSets(packets, 0x12));
  EXPECT_EQ(e.parameter(0x12), 4);
  EXPECT_EQ(e.parameter(0x13), 55);
}

TEST(SettingsSsiSetUpTests, Variant3RedundancyIsClearedOnlyWhenSet) {
  for (int redundancy : {2, 0}) {
    SimulatedTerminal t(3);
    ASSERT_EQ(InitReader(), 1);
    auto &e = t.ssiEngine();
    ASSERT_TRUE(e.setParameter(0x4D, static_cast<std::uint8_t>(redundancy)));
    const std::size_t from = e.packetsReceived().size();
    e.nakNext(5);
    ASSERT_EQ(ResetReaderToDefault(READER_DEVICE_BARCODE), 1);
    EXPECT_EQ(anySendSets(packetsSince(e, from), 0x4D), redundancy != 0) << redundancy;
    EXPECT_EQ(e.parameter(0x4D), 0);
  }
}

TEST(SettingsSsiSetUpTests, AnEngineThatCannotBeReachedAgainFailsTheReset) {
  SimulatedTerminal t(4);
  ASSERT_EQ(InitReader(), 1);
  Record record = getSettings();
  record[342] = 5;
  setSettings(record);
  t.ssiEngine().vanish();
  EXPECT_EQ(ResetReaderToDefault(READER_DEVICE_ALL), READER_ERR_BARCODE_FAILED);
  ASSERT_EQ(HaltReader(READER_DEVICE_BARCODE), 1);
  EXPECT_EQ(getSettings()[342], 1);  // the options were reset all the same
}

}  // namespace
}  // namespace settings_testing
