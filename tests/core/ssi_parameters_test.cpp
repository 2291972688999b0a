// The SSI group operations against a simulated engine (what is requested and
// sent) and against hand-made answers (how an answer is walked).
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "raw_pty.h"
#include "settings/ssi_parameters.h"
#include "settings_test_engines.h"

namespace reader {
namespace {

using settings_testing::SsiEngineDevice;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kParamSend = 0xC6;
constexpr std::uint8_t kParamRequest = 0xC7;

// Every test starts from a library that knows nothing of the engine, as
// after load, whichever test ran before in this process.
class SsiParameters : public ::testing::Test {
 protected:
  void SetUp() override { forgetSsiParameterValues(); }
};

TEST_F(SsiParameters, AWriteSendsOnlyValuesThatDifferFromWhatTheEngineLastReported) {
  SsiEngineDevice t(4);
  std::array<int, 9> v{};
  std::array<int *, 9> refs{};
  for (int i = 0; i < 9; ++i) refs[i] = &v[i];
  ASSERT_TRUE(ssiGroupOperation(t.device, SsiGroup::Code39, 'r', refs));
  EXPECT_EQ(v[0], 1);   // the engine's Code 39 enable
  EXPECT_EQ(v[8], 55);  // and its L2

  // Nothing differs: nothing sent, and the write says so.
  EXPECT_FALSE(ssiGroupOperation(t.device, SsiGroup::Code39, 'w', refs));
  EXPECT_TRUE(t.received(kParamSend).empty());

  int enable = 0;
  ASSERT_TRUE(ssiGroupOperation(t.device, SsiGroup::Code39, 'w', {&enable}));
  enable = 5;  // a flag: sent as 1, remembered as 5
  ASSERT_TRUE(ssiGroupOperation(t.device, SsiGroup::Code39, 'w', {&enable}));
  enable = 1;  // differs from 5, so sent again although the engine has 1
  ASSERT_TRUE(ssiGroupOperation(t.device, SsiGroup::Code39, 'w', {&enable}));
  const auto sends = t.received(kParamSend);
  ASSERT_EQ(sends.size(), 3u);
  EXPECT_EQ(sends[0], (Bytes{0xFF, 0x00, 0x00}));
  EXPECT_EQ(sends[1], (Bytes{0xFF, 0x00, 0x01}));
  EXPECT_EQ(sends[2], (Bytes{0xFF, 0x00, 0x01}));
  EXPECT_EQ(t.engine.parameter(0x00), 1);
}

TEST_F(SsiParameters, TheVariant3OnlyParameterIsLeftOutForVariant4) {
  SsiEngineDevice k4(4);
  int p44 = 7;
  std::array<int *, 15> refs{};
  refs[14] = &p44;
  ASSERT_TRUE(ssiGroupOperation(k4.device, SsiGroup::Upc, 'r', refs));
  EXPECT_EQ(p44, 7);
  ASSERT_EQ(k4.received(kParamRequest).size(), 1u);
  EXPECT_EQ(k4.received(kParamRequest)[0].size(), 14u);
  EXPECT_FALSE(ssiGroupOperation(k4.device, SsiGroup::Upc, 'w', refs));
  EXPECT_TRUE(k4.received(kParamSend).empty());

  SsiEngineDevice k3(3);
  ASSERT_TRUE(ssiGroupOperation(k3.device, SsiGroup::Upc, 'r', refs));
  EXPECT_EQ(k3.received(kParamRequest)[0].size(), 15u);
  EXPECT_EQ(p44, 0);  // the engine's value
}

TEST_F(SsiParameters, PairsFollowTheGroupsMessageOrderWithTwoByteNumbers) {
  SsiEngineDevice t(3);
  int a = 1, b = 2, c = 0, l1 = 9, l2 = 30;
  ASSERT_TRUE(ssiGroupOperation(t.device, SsiGroup::Code11, 'w', {&a, &b, &c, &l1, &l2}));
  int p[8] = {1, 1, 1, 0, 1, 1, 1, 0};
  ASSERT_TRUE(ssiGroupOperation(t.device, SsiGroup::Postal, 'w',
                                {&p[0], &p[1], &p[2], &p[3], &p[4], &p[5], &p[6], &p[7]}));
  int redundancy = 7;  // neither 6 nor 10: sent as 6
  ASSERT_TRUE(ssiGroupOperation(t.device, SsiGroup::Redundancy, 'w', {nullptr, nullptr, &redundancy}));
  const auto sends = t.received(kParamSend);
  ASSERT_EQ(sends.size(), 3u);
  EXPECT_EQ(sends[0], (Bytes{0xFF, 0x0A, 1, 0x1C, 9, 0x1D, 30, 0x34, 2, 0x2F, 0}));
  EXPECT_EQ(sends[1], (Bytes{0xFF, 0x59, 1, 0x5A, 1, 0x5B, 1, 0x60, 0, 0x5F, 0, 0xF0, 0x22, 1, 0xF0, 0x23, 1,
                             0xF0, 0x46, 1}));
  EXPECT_EQ(sends[2], (Bytes{0xFF, 0xF0, 0x7D, 0x06}));
  EXPECT_EQ(t.engine.parameter(readersim::ssi::twoByte(0x46)), 1);
}

TEST_F(SsiParameters, GroupsRefuseEnginesOfKindsTheyDoNotServe) {
  SsiEngineDevice k4(4);
  int v = 1;
  EXPECT_FALSE(ssiGroupOperation(k4.device, SsiGroup::Postal, 'r', {&v}));
  EXPECT_FALSE(ssiGroupOperation(k4.device, SsiGroup::Composite, 'w', {&v}));
  EXPECT_FALSE(ssiGroupOperation(k4.device, SsiGroup::ScanTime, 'w', {&v}));
  EXPECT_FALSE(ssiGroupOperation(k4.device, SsiGroup::Code39, 'x', {&v}));
  EXPECT_TRUE(k4.engine.packetsReceived().empty());
  k4.device.barcode.kind = 2;
  EXPECT_FALSE(ssiGroupOperation(k4.device, SsiGroup::Code39, 'r', {&v}));
  EXPECT_TRUE(k4.engine.packetsReceived().empty());
}

TEST_F(SsiParameters, TheVariant4ScanTimeGroupCarriesTheAimingTimeWithoutSendingIt) {
  SsiEngineDevice t(4);
  int aim = 20;
  std::array<int *, 6> onlyAim{};
  onlyAim[5] = &aim;
  EXPECT_FALSE(ssiGroupOperation(t.device, SsiGroup::ScanTime4, 'w', onlyAim));
  EXPECT_EQ(t.device.barcode.aimTime, 20);
  EXPECT_TRUE(t.engine.packetsReceived().empty());

  int scanTime = 0, reported = 0;
  std::array<int *, 6> read{&scanTime};
  read[5] = &reported;
  ASSERT_TRUE(ssiGroupOperation(t.device, SsiGroup::ScanTime4, 'r', read));
  EXPECT_EQ(reported, 20);
  EXPECT_EQ(scanTime, 0x63);
}

TEST_F(SsiParameters, ARefusedWriteIsRememberedAsNotDoneAndSentAgain) {
  SsiEngineDevice t(4);
  int enable = 0, l1 = 0, l2 = 0;
  ASSERT_TRUE(ssiGroupOperation(t.device, SsiGroup::Codabar, 'r', {&enable, &l1, &l2}));
  enable = 1;
  t.engine.nakNext(5);
  EXPECT_FALSE(ssiGroupOperation(t.device, SsiGroup::Codabar, 'w', {&enable}));
  EXPECT_EQ(t.engine.parameter(0x07), 0);
  int known = -1;
  ASSERT_TRUE(knownSsiParameterValue(SsiGroup::Codabar, 1, known));
  EXPECT_EQ(known, 0);
  ASSERT_TRUE(ssiGroupOperation(t.device, SsiGroup::Codabar, 'w', {&enable}));
  EXPECT_EQ(t.engine.parameter(0x07), 1);
}

TEST_F(SsiParameters, AnUnansweredReadStoresNothingAndRemembersNothing) {
  SsiEngineDevice t(3);
  int enable = 0;
  ASSERT_TRUE(ssiGroupOperation(t.device, SsiGroup::Code93, 'r', {&enable}));
  ASSERT_EQ(enable, 0);
  t.engine.setSilent(true);
  ASSERT_TRUE(t.engine.setParameter(0x09, 1));
  int caller = 9;
  EXPECT_FALSE(ssiGroupOperation(t.device, SsiGroup::Code93, 'r', {&caller}));
  EXPECT_EQ(caller, 9);
  int known = -1;
  ASSERT_TRUE(knownSsiParameterValue(SsiGroup::Code93, 1, known));
  EXPECT_EQ(known, 0);
}

// ---- Hand-made answers ------------------------------------------------------

Bytes withChecksum(Bytes packet) {
  unsigned sum = 0;
  for (std::uint8_t b : packet) sum += b;
  const unsigned check = (0x10000u - (sum & 0xFFFFu)) & 0xFFFFu;
  packet.push_back(static_cast<std::uint8_t>(check >> 8));
  packet.push_back(static_cast<std::uint8_t>(check & 0xFF));
  return packet;
}

Bytes paramSendAnswer(const Bytes &pairs) {
  Bytes packet{0, 0xC6, 0x00, 0x00, 0xFF};
  packet.insert(packet.end(), pairs.begin(), pairs.end());
  packet[0] = static_cast<std::uint8_t>(packet.size());
  return withChecksum(packet);
}

// Runs `operation` while a scripted engine answers its one request with
// `answer`; returns the request as received.
template <class Operation>
Bytes exchangeWith(const Bytes &answer, int kind, Operation operation) {
  testing_support::RawPty pty(1);
  ReaderDevice device;
  settings_testing::openBarcodeChannel(device, pty.path(), kind, 38400);
  Bytes request;
  std::thread engine([&] {
    request = pty.receive(std::chrono::seconds(10));
    pty.send(answer);
  });
  operation(device);
  engine.join();
  return request;
}

TEST_F(SsiParameters, AReadStoresOnlyTheParametersTheAnswerNames) {
  int a = 7, b = 7, c = 7, d = 7;
  const Bytes answer = paramSendAnswer({0xF0, 0x52, 0x01, 0xF0, 0x53, 0x00});
  const Bytes request = exchangeWith(answer, 4, [&](ReaderDevice &device) {
    EXPECT_TRUE(ssiGroupOperation(device, SsiGroup::Rss, 'r', {&a, &b, &c, &d}));
  });
  EXPECT_EQ(request, withChecksum({0x0C, 0xC7, 0x04, 0x00, 0xF0, 0x52, 0xF0, 0x53, 0xF0, 0x54, 0xF0, 0x8D}));
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 0);
  EXPECT_EQ(c, 7);
  EXPECT_EQ(d, 7);
  int known = -1;
  EXPECT_TRUE(knownSsiParameterValue(SsiGroup::Rss, 1, known));
  EXPECT_FALSE(knownSsiParameterValue(SsiGroup::Rss, 3, known));
}

TEST_F(SsiParameters, AnAnswerIsWalkedByteByByteOverNumbersOutsideTheGroup) {
  int enable = 7, trioptic = 7;
  const Bytes answer = paramSendAnswer({0x99, 0x01, 0x00, 0x01, 0x0D});  // the last number has no value
  exchangeWith(answer, 4, [&](ReaderDevice &device) {
    EXPECT_TRUE(ssiGroupOperation(device, SsiGroup::Code39, 'r', {&enable, &trioptic}));
  });
  EXPECT_EQ(enable, 1);
  EXPECT_EQ(trioptic, 7);
}

TEST_F(SsiParameters, AnAnswerThatIsNotAParamSendFromTheEngineChangesNothing) {
  int enable = 7;
  const Bytes fromHost = withChecksum({0x07, 0xC6, 0x04, 0x00, 0xFF, 0x00, 0x00});
  exchangeWith(fromHost, 4, [&](ReaderDevice &device) {
    EXPECT_FALSE(ssiGroupOperation(device, SsiGroup::Code39, 'r', {&enable}));
  });
  EXPECT_EQ(enable, 7);
  int known = -1;
  EXPECT_FALSE(knownSsiParameterValue(SsiGroup::Code39, 1, known));
}

}  // namespace
}  // namespace reader
