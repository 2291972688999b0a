// The SSI group operations against a simulated engine (what is requested and
// sent) and against a hand-made answer (how an answer is walked).
#include "settings/ssi_parameters.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "readersim/ssi_packet.h"
#include "settings_test_engines.h"
#include "support/raw_pty.h"

namespace reader {
namespace {

using settings_testing::SsiEngineDevice;
using Bytes = std::vector<std::uint8_t>;
using readersim::ssi::makePacket;

// Every test's engine comes with its own record of what is known of it.
using SsiParameters = ::testing::Test;

TEST_F(SsiParameters, AWriteSendsOnlyValuesThatDifferFromWhatTheEngineLastReportedOrTook) {
  SsiEngineDevice t(4);
  std::array<int, 9> v{};
  std::array<int *, 9> refs{};
  for (int i = 0; i < 9; ++i) refs[i] = &v[i];
  ASSERT_TRUE(ssiGroupOperation({t.port(), t.known}, SsiGroup::Code39, 'r', refs));
  EXPECT_EQ(v[0], 1);   // the engine's Code 39 enable
  EXPECT_EQ(v[8], 55);  // and its L2

  // Nothing differs: nothing sent, and the write says so.
  EXPECT_FALSE(ssiGroupOperation({t.port(), t.known}, SsiGroup::Code39, 'w', refs));
  EXPECT_TRUE(t.sends().empty());

  v[0] = 0;
  v[8] = 30;
  ASSERT_TRUE(ssiGroupOperation({t.port(), t.known}, SsiGroup::Code39, 'w', refs));
  EXPECT_EQ(t.sends().back(), (Bytes{0xFF, 0x00, 0x00, 0x13, 30}));

  // A refused write leaves the old value known, so it is sent again.
  t.engine.nakNext(5);
  v[0] = 1;
  EXPECT_FALSE(ssiGroupOperation({t.port(), t.known}, SsiGroup::Code39, 'w', refs));
  EXPECT_EQ(t.engine.parameter(0x00), 0);
  ASSERT_TRUE(ssiGroupOperation({t.port(), t.known}, SsiGroup::Code39, 'w', refs));
  EXPECT_EQ(t.sends().back(), (Bytes{0xFF, 0x00, 0x01}));
  EXPECT_EQ(t.engine.parameter(0x00), 1);
}

TEST_F(SsiParameters, PairsFollowTheGroupsMessageOrderWithTwoByteNumbers) {
  SsiEngineDevice t(3);
  int a = 1, b = 2, c = 0, l1 = 9, l2 = 30;
  ASSERT_TRUE(ssiGroupOperation({t.port(), t.known}, SsiGroup::Code11, 'w', {&a, &b, &c, &l1, &l2}));
  int p[8] = {1, 1, 1, 0, 1, 1, 1, 0};
  ASSERT_TRUE(ssiGroupOperation({t.port(), t.known}, SsiGroup::Postal, 'w',
                                {&p[0], &p[1], &p[2], &p[3], &p[4], &p[5], &p[6], &p[7]}));
  int redundancy = 7;  // neither 6 nor 10: sent as 6
  ASSERT_TRUE(ssiGroupOperation({t.port(), t.known}, SsiGroup::Redundancy, 'w', {nullptr, nullptr, &redundancy}));
  const auto sends = t.sends();
  ASSERT_EQ(sends.size(), 3u);
  EXPECT_EQ(sends[0], (Bytes{0xFF, 0x0A, 1, 0x1C, 9, 0x1D, 30, 0x34, 2, 0x2F, 0}));
  EXPECT_EQ(sends[1],
            (Bytes{0xFF, 0x59, 1, 0x5A, 1, 0x5B, 1, 0x60, 0, 0x5F, 0, 0xF0, 0x22, 1, 0xF0, 0x23, 1, 0xF0, 0x46, 1}));
  EXPECT_EQ(sends[2], (Bytes{0xFF, 0xF0, 0x7D, 0x06}));
}

// A scripted engine answers the one request of a read of the RSS group
// (four two-byte numbers) with a hand-made PARAM_SEND.
TEST_F(SsiParameters, AnAnswerIsWalkedByteByByteAndOnlyTheNumbersItNamesAreStored) {
  testing_support::RawPty pty(1);
  ReaderDevice device;
  settings_testing::openBarcodeChannel(device, pty.path(), 4, 38400);
  Bytes request;
  std::thread engine([&] {
    request = pty.receive(std::chrono::seconds(10));
    // A stray byte right before a number, numbers known by their second
    // byte, and a last number without its value.
    pty.send(makePacket(0xC6, 0x00, 0x00, Bytes{0xFF, 0x99, 0x52, 0x01, 0xF0, 0x53, 0x00, 0xF0, 0x8D}));
  });
  int a = 7, b = 7, c = 7, d = 7;
  SsiKnownValues known;
  EXPECT_TRUE(ssiGroupOperation({settings_testing::portOf(device), known}, SsiGroup::Rss, 'r', {&a, &b, &c, &d}));
  engine.join();
  EXPECT_EQ(request, makePacket(0xC7, 0x04, 0x00, Bytes{0xF0, 0x52, 0xF0, 0x53, 0xF0, 0x54, 0xF0, 0x8D}));
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 0);
  EXPECT_EQ(c, 7);
  EXPECT_EQ(d, 7);
  int value = -1;
  EXPECT_TRUE(known.find(SsiGroup::Rss, 1, value));
  EXPECT_EQ(value, 0);
  EXPECT_FALSE(known.find(SsiGroup::Rss, 3, value));
}

}  // namespace
}  // namespace reader
