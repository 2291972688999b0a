#include "readersim/ssi_engine.h"

#include <gtest/gtest.h>

#include <map>

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

bool isGarbled(const TrafficRecord &r) { return r.has(traffic_flag::kGarbled); }
bool isSpeedChange(const TrafficRecord &r) { return r.type == RecordType::SpeedChanged; }

// The byte before the third space, counted from the opcode on: what a host
// reads the variant from.
std::optional<std::uint8_t> variantOf(const Bytes &reply) {
  int spaces = 0;
  for (std::size_t i = 1; i < reply.size(); ++i) {
    if (reply[i] == ' ' && ++spaces == 3) return reply[i - 1];
  }
  return std::nullopt;
}

class SsiEngineTest : public ::testing::Test {
 protected:
  Bytes exchange(const Bytes &packet) {
    EXPECT_TRUE(host.write(packet));
    return host.readSsiPacket();
  }

  SsiEngine engine;  // kind 3 at 9600
  HostPort host{engine.portPath(), 9600};
};

TEST_F(SsiEngineTest, RevisionReplyNamesTheVariantAndCarriesItsChecksum) {
  auto reply = exchange({0x04, 0xA3, 0x04, 0x00, 0xFF, 0x55});
  auto parsed = ssi::parsePacket(reply);
  ASSERT_TRUE(parsed.has_value()) << hexDump(reply);
  EXPECT_EQ(parsed->opcode, ssi::kOpcodeRevisionReply);
  EXPECT_EQ(parsed->source, ssi::kSourceEngine);
  EXPECT_EQ(variantOf(reply), 'P');
}

TEST(SsiEngine, VariantByteIsConfigurableApartFromTheKind) {
  for (std::uint8_t variant : {std::uint8_t{0x00}, std::uint8_t{0x07}, std::uint8_t{'G'}}) {
    SsiEngine::Options options;
    options.kind = 3;  // behaves as kind 3, claims kind 4
    options.variantByte = variant;
    SsiEngine engine(options);
    HostPort host(engine.portPath(), 9600);
    ASSERT_TRUE(host.write(hostPacket(ssi::kOpcodeRevisionRequest)));
    EXPECT_EQ(variantOf(host.readSsiPacket()), variant);
    EXPECT_TRUE(engine.parameter(0x44).has_value());
  }
}

TEST_F(SsiEngineTest, BadChecksumAndUnknownOpcodesAreRefused) {
  auto bad = hostPacket(ssi::kOpcodeStartDecode);
  bad.back() ^= 0x01;
  EXPECT_EQ(exchange(bad), (Bytes{0x05, 0xD1, 0x00, 0x00, 0x01, 0xFF, 0x29}));
  EXPECT_FALSE(engine.decoding());
  EXPECT_EQ(exchange(hostPacket(0x77)), nak(ssi::kNakBadContext));
  auto records = engine.log().snapshot();
  ASSERT_FALSE(records.empty());
  EXPECT_TRUE(std::any_of(records.begin(), records.end(),
                          [](const TrafficRecord &r) { return r.has(traffic_flag::kBadChecksum); }));
}

TEST_F(SsiEngineTest, ScanAndAimCommandsAreAcknowledgedAndTracked) {
  EXPECT_EQ(exchange(hostPacket(ssi::kOpcodeAimOn)), ack());
  EXPECT_TRUE(engine.aiming());
  EXPECT_EQ(exchange(hostPacket(ssi::kOpcodeStartDecode)), ack());
  EXPECT_TRUE(engine.decoding());
  EXPECT_EQ(exchange(hostPacket(ssi::kOpcodeStopDecode)), ack());
  EXPECT_EQ(exchange(hostPacket(ssi::kOpcodeAimOff)), ack());
  EXPECT_FALSE(engine.decoding());
  EXPECT_FALSE(engine.aiming());
  // The host's own ACK gets no answer: the next answer is the revision's.
  ASSERT_TRUE(host.write(hostPacket(ssi::kOpcodeAck)));
  EXPECT_EQ(ssi::parsePacket(exchange(hostPacket(ssi::kOpcodeRevisionRequest)))->opcode, ssi::kOpcodeRevisionReply);
}

TEST_F(SsiEngineTest, ParamRequestAnswersKnownNumbersIncludingTwoByteOnes) {
  // 0x00, 0x12, F0 52, 0x99 (unknown), F0 7D
  auto reply = exchange(hostPacket(ssi::kOpcodeParamRequest, {0x00, 0x12, 0xF0, 0x52, 0x99, 0xF0, 0x7D}));
  auto parsed = ssi::parsePacket(reply);
  ASSERT_TRUE(parsed.has_value()) << hexDump(reply);
  EXPECT_EQ(parsed->opcode, ssi::kOpcodeParamSend);
  EXPECT_EQ(parsed->source, 0x00);
  EXPECT_EQ(parsed->status, 0x00);
  EXPECT_EQ(parsed->data, (Bytes{0xFF, 0x00, 0x01, 0x12, 0x02, 0xF0, 0x52, 0x01, 0xF0, 0x7D, 0x06}));
}

TEST_F(SsiEngineTest, ParamSendAppliesEveryPairAndRoundTrips) {
  Bytes pairs{0xFF, 0x00, 0x01, 0x12, 0x04, 0x13, 0x37, 0xF0, 0x55, 0x01, 0x4D, 0x00};
  EXPECT_EQ(exchange(hostPacket(ssi::kOpcodeParamSend, pairs, 0x08)), ack());
  EXPECT_EQ(engine.parameter(0x12), 4);
  EXPECT_EQ(engine.parameter(ssi::twoByte(0x55)), 1);
  EXPECT_EQ(engine.parameter(0x4D), 0);
  auto reply = ssi::parsePacket(exchange(hostPacket(ssi::kOpcodeParamRequest, {0x00, 0x12, 0x13, 0xF0, 0x55, 0x4D})));
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->data, pairs);

  // A number without its value is refused whole.
  EXPECT_EQ(exchange(hostPacket(ssi::kOpcodeParamSend, {0xFF, 0x12, 0x09, 0x13})), nak(ssi::kNakBadContext));
  EXPECT_EQ(engine.parameter(0x12), 4);
}

TEST(SsiEngine, KindFourLacksPostalCompositeAndParameter44) {
  SsiEngine::Options options;
  options.kind = 4;
  SsiEngine engine(options);
  HostPort host(engine.portPath(), 9600);
  ASSERT_TRUE(host.write(hostPacket(ssi::kOpcodeParamSend, {0xFF, 0x44, 0x01, 0xF0, 0x55, 0x01, 0x59, 0x00, 0x01, 0x00}, 8)));
  EXPECT_EQ(host.readSsiPacket(), ack());
  EXPECT_EQ(engine.parameter(0x01), 0);
  EXPECT_FALSE(engine.parameter(0x44));
  ASSERT_TRUE(host.write(hostPacket(ssi::kOpcodeParamRequest, {0x44, 0xF0, 0x55, 0x59, 0x01, 0x88, 0xBF})));
  auto reply = ssi::parsePacket(host.readSsiPacket());
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->data, (Bytes{0xFF, 0x01, 0x00, 0x88, 0x63, 0xBF, 0x00}));
}

TEST_F(SsiEngineTest, LinkSpeedChangeIsAcknowledgedAtTheOldSpeedThenOnlyTheNewOneIsAnswered) {
  EXPECT_EQ(exchange(hostPacket(ssi::kOpcodeParamSend, {0xFF, 0x9C, 11}, 0x08)), ack());
  ASSERT_TRUE(engine.log().waitForCount(isSpeedChange, 1, kTimeout));
  EXPECT_EQ(engine.speed(), 115200);

  ASSERT_TRUE(host.write(hostPacket(ssi::kOpcodeRevisionRequest)));  // still at 9600
  ASSERT_TRUE(engine.log().waitForCount(isGarbled, 1, kTimeout));
  host.setSpeed(115200);
  auto reply = exchange(hostPacket(ssi::kOpcodeParamRequest, {0x9C}));
  EXPECT_EQ(ssi::parsePacket(reply)->data, (Bytes{0xFF, 0x9C, 11}));
}

TEST_F(SsiEngineTest, UnknownLinkSpeedCodeIsDenied) {
  EXPECT_EQ(exchange(hostPacket(ssi::kOpcodeParamSend, {0xFF, 0x12, 0x09, 0x9C, 0x03}, 0x08)), nak(ssi::kNakDenied));
  EXPECT_EQ(engine.speed(), 9600);
  EXPECT_EQ(engine.parameter(0x12), 2);
}

TEST(SsiEngine, SetDefaultsRestoresParametersAndReturnsTo9600) {
  SsiEngine::Options options;
  options.startSpeed = 115200;
  SsiEngine engine(options);
  ASSERT_TRUE(engine.setParameter(0x12, 4));
  ASSERT_TRUE(engine.setParameter(0x07, 1));
  HostPort host(engine.portPath(), 115200);
  ASSERT_TRUE(host.write(hostPacket(ssi::kOpcodeSetDefaults)));
  EXPECT_EQ(host.readSsiPacket(), ack());  // at the old speed
  ASSERT_TRUE(engine.log().waitForCount(isSpeedChange, 1, kTimeout));
  EXPECT_EQ(engine.speed(), 9600);
  EXPECT_EQ(engine.parameters(), ssi::defaultParameters(3));
}

TEST_F(SsiEngineTest, NakAndSilenceOnDemand) {
  engine.nakNext(2, ssi::kNakDenied);
  EXPECT_EQ(exchange(hostPacket(ssi::kOpcodeStartDecode)), nak(ssi::kNakDenied));
  EXPECT_EQ(exchange(hostPacket(ssi::kOpcodeParamSend, {0xFF, 0x12, 0x09}, 8)), nak(ssi::kNakDenied));
  EXPECT_FALSE(engine.decoding());
  EXPECT_EQ(engine.parameter(0x12), 2);

  engine.silenceNext(1);
  ASSERT_TRUE(host.write(hostPacket(ssi::kOpcodeStartDecode)));
  EXPECT_EQ(exchange(hostPacket(ssi::kOpcodeAimOn)), ack());
  EXPECT_FALSE(engine.decoding());
  EXPECT_TRUE(engine.aiming());
  ASSERT_EQ(engine.packetsReceived().size(), 4u);
  EXPECT_EQ(engine.packetsReceived()[2].opcode, ssi::kOpcodeStartDecode);
}

TEST_F(SsiEngineTest, ACutPacketIsGivenUpAfterSilenceAndTheRetryIsAnswered) {
  auto packet = hostPacket(ssi::kOpcodeStartDecode);
  ASSERT_TRUE(host.write(std::span(packet).first(3)));
  ASSERT_TRUE(engine.log().waitForCount([](const TrafficRecord &r) { return r.has(traffic_flag::kIncomplete); }, 1,
                                        kTimeout));
  EXPECT_EQ(exchange(packet), ack());
  EXPECT_TRUE(engine.decoding());
}

TEST_F(SsiEngineTest, OneRequestReadsBackTheWholeTable) {
  Bytes numbers;
  for (const auto &entry : ssi::parameterTable()) {
    if (ssi::isTwoByte(entry.number)) numbers.push_back(ssi::kTwoBytePrefix);
    numbers.push_back(static_cast<std::uint8_t>(entry.number & 0xFF));
  }
  auto reply = exchange(hostPacket(ssi::kOpcodeParamRequest, numbers));
  auto parsed = ssi::parsePacket(reply);
  ASSERT_TRUE(parsed.has_value()) << hexDump(reply);
  ASSERT_EQ(parsed->data[0], 0xFF);
  std::map<ssi::ParameterNumber, std::uint8_t> answered;
  for (std::size_t i = 1; i + 1 < parsed->data.size(); i += 2) {
    ssi::ParameterNumber number = parsed->data[i];
    if (number == ssi::kTwoBytePrefix) number = ssi::twoByte(parsed->data[++i]);
    answered[number] = parsed->data[i + 1];
  }
  EXPECT_EQ(answered, engine.parameters());
}

TEST_F(SsiEngineTest, KeepsItsSpeedWhenTheHostClosesAndReopens) {
  EXPECT_EQ(exchange(hostPacket(ssi::kOpcodeParamSend, {0xFF, 0x9C, 8}, 0x08)), ack());
  ASSERT_TRUE(engine.log().waitForCount(isSpeedChange, 1, kTimeout));
  host.close();
  ASSERT_TRUE(engine.waitForHostCloseCount(1, kTimeout));
  HostPort again(engine.portPath(), 38400);
  ASSERT_TRUE(again.write(hostPacket(ssi::kOpcodeRevisionRequest)));
  EXPECT_EQ(variantOf(again.readSsiPacket()), 'P');
}

TEST(SsiParameterTable, HoldsEveryNumberTheHostProgramsAndNoDuplicates) {
  // Every parameter number of the host's settings groups and start-up frame.
  const std::vector<ssi::ParameterNumber> both = {
      0x00, 0x0D, 0x56, 0xE7, 0x30, 0x2B, 0x11, 0x12, 0x13, 0x01, 0x02, 0x0C, 0x10, 0x50, 0x28, 0x29, 0x2A,
      0x22, 0x23, 0x24, 0x25, 0x26, 0x55, 0x04, 0x03, 0x53, 0x27, 0x08, 0x0E, 0x54, 0x09, 0x1A, 0x1B, 0x0A,
      0x34, 0x2F, 0x1C, 0x1D, 0x06, 0x16, 0x17, 0x31, 0x2C, 0x52, 0x05, 0x14, 0x15, 0x07, 0x18, 0x19, 0x36,
      0x37, 0x0B, 0x1E, 0x1F, 0x32, 0x2E, 0x33, 0xF052, 0xF053, 0xF054, 0xF08D, 0x0F, 0xE3, 0x7B, 0xF024,
      0xF026, 0xF025, 0x4E, 0x4D, 0xF07D, 0xBC, 0xB8, 0xE9, 0xF029, 0xF02A, 0xF032, 0xF0A6, 0xF0AD, 0x5D,
      0x2D, 0x69, 0x68, 0x6A, 0xEB, 0x5E, 0x88, 0x89, 0xBF, 0x43, 0x8A, 0xEC, 0xEE, 0x9B, 0x9F, 0xED, 0x9C};
  const std::vector<ssi::ParameterNumber> kind3Only = {0x44, 0x59, 0x5A, 0x5B, 0x60, 0xF022, 0xF023, 0xF046,
                                                       0x5F, 0xF055, 0xF056, 0xF073, 0xF058, 0xF08E, 0xF0AB};
  auto kind3 = ssi::defaultParameters(3);
  auto kind4 = ssi::defaultParameters(4);
  for (auto number : both) {
    EXPECT_TRUE(kind3.contains(number)) << std::hex << number;
    EXPECT_TRUE(kind4.contains(number)) << std::hex << number;
  }
  for (auto number : kind3Only) {
    EXPECT_TRUE(kind3.contains(number)) << std::hex << number;
    EXPECT_FALSE(kind4.contains(number)) << std::hex << number;
  }
  EXPECT_EQ(ssi::parameterTable().size(), both.size() + kind3Only.size());
}

}  // namespace
}  // namespace readersim
