// The barcode engine of kinds 3 and 4: SSI packets on its line.
#include "readersim/ssi_engine.h"

#include <gtest/gtest.h>

#include "host_port.h"
#include "readersim/hex_text.h"

namespace readersim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::HostPort;
using testing::kTimeout;

Bytes hostPacket(std::uint8_t opcode, Bytes data = {}, std::uint8_t status = 0) {
  return ssi::makePacket(opcode, ssi::kSourceHost, status, data);
}
Bytes ack() { return ssi::makePacket(ssi::kOpcodeAck, ssi::kSourceEngine, 0); }
Bytes nak(std::uint8_t cause) { return ssi::makePacket(ssi::kOpcodeNak, ssi::kSourceEngine, 0, Bytes{cause}); }
bool isSpeedChange(const TrafficRecord &r) { return r.type == RecordType::SpeedChanged; }
bool isGarbled(const TrafficRecord &r) { return r.has(traffic_flag::kGarbled); }

TEST(SsiPacket, ChecksumIsTheNegatedSixteenBitSumAndFramesThePacket) {
  EXPECT_EQ(ssi::checksum(Bytes{0x04, 0xE4, 0x04, 0x00}), (std::array<std::uint8_t, 2>{0xFF, 0x14}));
  Bytes data{0xFF, 0x9C, 0x0B};
  auto packet = ssi::makePacket(ssi::kOpcodeParamSend, ssi::kSourceHost, 0x08, data);
  EXPECT_EQ(packet, (Bytes{0x07, 0xC6, 0x04, 0x08, 0xFF, 0x9C, 0x0B, 0xFD, 0x81}));
  EXPECT_EQ(ssi::parsePacket(packet), (ssi::Packet{ssi::kOpcodeParamSend, ssi::kSourceHost, 0x08, data}));
  packet.back() ^= 1;
  EXPECT_FALSE(ssi::parsePacket(packet));
}

class SsiEngineTest : public ::testing::Test {
 protected:
  Bytes exchange(const Bytes &packet) {
    EXPECT_TRUE(host.write(packet));
    return host.readSsiPacket();
  }
  Bytes dataOf(const Bytes &reply) {
    auto parsed = ssi::parsePacket(reply);
    EXPECT_TRUE(parsed.has_value()) << hexDump(reply);
    return parsed ? parsed->data : Bytes{};
  }

  SsiEngine engine;  // kind 3 at 9600
  HostPort host{engine.portPath(), 9600};
};

TEST_F(SsiEngineTest, BadChecksumsCutPacketsAndRefusalsOnDemandAreNotActedOn) {
  auto bad = hostPacket(ssi::kOpcodeStartDecode);
  bad.back() ^= 0x01;
  EXPECT_EQ(exchange(bad), (Bytes{0x05, 0xD1, 0x00, 0x00, 0x01, 0xFF, 0x29}));  // NAK, cause 1
  engine.nakNext(1, ssi::kNakDenied);
  EXPECT_EQ(exchange(hostPacket(ssi::kOpcodeStartDecode)), nak(ssi::kNakDenied));
  engine.silenceNext(1);
  ASSERT_TRUE(host.write(hostPacket(ssi::kOpcodeStartDecode)));
  EXPECT_EQ(exchange(hostPacket(ssi::kOpcodeAimOn)), ack());  // the first answer is this one's
  EXPECT_FALSE(engine.decoding());
  // A cut packet is given up after a silence; the retry is answered.
  auto whole = hostPacket(ssi::kOpcodeStartDecode);
  ASSERT_TRUE(host.write(Bytes(whole.begin(), whole.begin() + 3)));
  ASSERT_TRUE(
      engine.log().waitForCount([](const TrafficRecord &r) { return r.has(traffic_flag::kIncomplete); }, 1, kTimeout));
  EXPECT_EQ(exchange(whole), ack());
  EXPECT_TRUE(engine.decoding());
}

TEST(SsiEngine, RevisionReplyCarriesTheVariantByteBeforeTheThirdSpace) {
  const std::pair<int, std::uint8_t> cases[] = {{3, 0}, {4, 0}, {3, 'G'}};  // 0: the kind's own
  for (auto [kind, variant] : cases) {
    SsiEngine::Options options;
    options.kind = kind;
    if (variant != 0) options.variantByte = variant;
    SsiEngine engine(options);
    HostPort host(engine.portPath(), 9600);
    ASSERT_TRUE(host.write(hostPacket(ssi::kOpcodeRevisionRequest)));
    auto reply = ssi::parsePacket(host.readSsiPacket());
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->opcode, ssi::kOpcodeRevisionReply);
    std::string text(reply->data.begin(), reply->data.end());
    std::size_t third = text.find(' ', text.find(' ', text.find(' ') + 1) + 1);
    ASSERT_NE(third, std::string::npos) << text;
    ASSERT_GT(third, 0u);
    EXPECT_EQ(text[third - 1], variant != 0 ? variant : kind == 3 ? 'P' : 'G') << text;
    EXPECT_EQ(engine.parameter(0x44).has_value(), kind == 3);  // behaves as its kind
  }
}

TEST_F(SsiEngineTest, ParamSendAndParamRequestRoundTripIncludingTwoByteNumbers) {
  // No beep (FF), then 0x12 = 4, F0 55 = 1, 0x4D = 0.
  Bytes pairs{0xFF, 0x12, 0x04, 0xF0, 0x55, 0x01, 0x4D, 0x00};
  EXPECT_EQ(exchange(hostPacket(ssi::kOpcodeParamSend, pairs, 0x08)), ack());
  EXPECT_EQ(engine.parameter(ssi::twoByte(0x55)), 1);
  // An unknown number (0x99) is left out of the answer.
  EXPECT_EQ(dataOf(exchange(hostPacket(ssi::kOpcodeParamRequest, {0x12, 0xF0, 0x55, 0x99, 0x4D, 0xF0, 0x7D}))),
            (Bytes{0xFF, 0x12, 0x04, 0xF0, 0x55, 0x01, 0x4D, 0x00, 0xF0, 0x7D, 0x06}));
  // A number without its value is refused whole.
  EXPECT_EQ(exchange(hostPacket(ssi::kOpcodeParamSend, {0xFF, 0x12, 0x09, 0x13})), nak(ssi::kNakBadContext));
  EXPECT_EQ(engine.parameter(0x12), 4);
}

TEST_F(SsiEngineTest, LinkSpeedChangeIsAcknowledgedAtTheOldSpeedThenOnlyTheNewOneIsAnswered) {
  EXPECT_EQ(exchange(hostPacket(ssi::kOpcodeParamSend, {0xFF, 0x9C, 11}, 0x08)), ack());
  ASSERT_TRUE(engine.log().waitForCount(isSpeedChange, 1, kTimeout));
  EXPECT_EQ(engine.speed(), 115200);
  ASSERT_TRUE(host.write(hostPacket(ssi::kOpcodeRevisionRequest)));  // still at 9600
  ASSERT_TRUE(engine.log().waitForCount(isGarbled, 1, kTimeout));
  host.setSpeed(115200);
  EXPECT_EQ(dataOf(exchange(hostPacket(ssi::kOpcodeParamRequest, {0x9C}))), (Bytes{0xFF, 0x9C, 11}));
}

TEST(SsiEngine, SetDefaultsRestoresParametersAndReturnsTo9600) {
  SsiEngine::Options options;
  options.kind = 4;
  options.startSpeed = 115200;
  SsiEngine engine(options);
  ASSERT_TRUE(engine.setParameter(0x12, 4));
  HostPort host(engine.portPath(), 115200);
  ASSERT_TRUE(host.write(hostPacket(ssi::kOpcodeSetDefaults)));
  EXPECT_EQ(host.readSsiPacket(), ack());  // at the old speed
  ASSERT_TRUE(engine.log().waitForCount(isSpeedChange, 1, kTimeout));
  EXPECT_EQ(engine.speed(), 9600);
  EXPECT_EQ(engine.parameters(), ssi::defaultParameters(4));
  EXPECT_NE(ssi::defaultParameters(4), ssi::defaultParameters(3));
}

}  // namespace
}  // namespace readersim
