#include "readersim/ascii_module.h"

#include <gtest/gtest.h>

#include "host_port.h"

namespace readersim {
namespace {

using testing::HostPort;
using testing::kTimeout;

bool isGarbled(const TrafficRecord &r) { return r.has(traffic_flag::kGarbled); }
bool isSpeedChange(const TrafficRecord &r) { return r.type == RecordType::SpeedChanged; }

class AsciiModuleTest : public ::testing::Test {
 protected:
  std::string exchange(std::string_view command) {
    EXPECT_TRUE(host.write(command));
    return host.readUntil('\n');
  }

  AsciiModule module;  // MultiISO 1.0 at 9600
  HostPort host{module.portPath(), 9600};
};

TEST_F(AsciiModuleTest, VersionAndParameterReadsAndWrites) {
  EXPECT_EQ(exchange("v"), "MultiISO 1.0\r\n");
  EXPECT_EQ(exchange("wp0B08"), "08\r\n");
  EXPECT_EQ(exchange("rp0b"), "08\r\n");
  EXPECT_EQ(exchange("wp0e7f"), "7F\r\n");
  EXPECT_EQ(module.parameter(0x0E), 0x7F);
  EXPECT_EQ(exchange("rp1f"), "01\r\n");
  EXPECT_EQ(exchange("rp20"), "R\r\n");
  EXPECT_EQ(exchange("wp0900"), "R\r\n");
  EXPECT_EQ(exchange("rpzz"), "?\r\n");
}

TEST_F(AsciiModuleTest, CommandsOfKnownLengthNeedNoPause) {
  // Several commands in one write are told apart by their grammar.
  ASSERT_TRUE(host.write("vrp0arp0b"));
  EXPECT_EQ(host.readUntil('\n'), "MultiISO 1.0\r\n");
  EXPECT_EQ(host.readUntil('\n'), "01\r\n");
  EXPECT_EQ(host.readUntil('\n'), "00\r\n");
  EXPECT_EQ(module.commands(), (std::vector<std::string>{"v", "rp0a", "rp0b"}));
}

TEST_F(AsciiModuleTest, OtherCommandsEndWithSilence) {
  EXPECT_EQ(exchange("l01FFFFFFFFFFFF"), "N\r\n");
  EXPECT_EQ(exchange("wb0500112233"), "N\r\n");
  EXPECT_EQ(exchange("x"), "?\r\n");
  EXPECT_EQ(module.commands(), (std::vector<std::string>{"l01FFFFFFFFFFFF", "wb0500112233", "x"}));
}

TEST_F(AsciiModuleTest, SpeedWriteIsEchoedAtTheOldSpeedThenTheModuleMoves) {
  EXPECT_EQ(exchange("wp0C03"), "03\r\n");
  ASSERT_TRUE(module.log().waitForCount(isSpeedChange, 1, kTimeout));
  EXPECT_EQ(module.speed(), 57600);
  ASSERT_TRUE(host.write("v"));
  ASSERT_TRUE(module.log().waitForCount(isGarbled, 1, kTimeout));
  host.setSpeed(57600);
  EXPECT_EQ(exchange("rp0c"), "03\r\n");
}

TEST_F(AsciiModuleTest, SpeedWriteRefusedOnDemandLeavesTheSpeed) {
  module.setSpeedChangeAnswer(AsciiModule::SpeedChangeAnswer::Fail);
  EXPECT_EQ(exchange("wp0C03"), "F\r\n");
  module.setSpeedChangeAnswer(AsciiModule::SpeedChangeAnswer::Refuse);
  EXPECT_EQ(exchange("wp0C03"), "R\r\n");
  module.setSpeedChangeAnswer(AsciiModule::SpeedChangeAnswer::Accept);
  EXPECT_EQ(exchange("wp0C09"), "R\r\n");  // no such speed
  EXPECT_EQ(module.speed(), 9600);
  EXPECT_EQ(exchange("rp0c"), "00\r\n");
}

TEST_F(AsciiModuleTest, KeepsItsSpeedAcrossHostSessionsAndStopsReadingOnClose) {
  EXPECT_EQ(exchange("wp0C04"), "04\r\n");
  ASSERT_TRUE(module.log().waitForCount(isSpeedChange, 1, kTimeout));
  host.setSpeed(115200);
  ASSERT_TRUE(host.write("s"));
  ASSERT_TRUE(module.waitForFrames(2, kTimeout));
  EXPECT_TRUE(module.reading());
  host.close();
  ASSERT_TRUE(module.waitForHostCloseCount(1, kTimeout));
  EXPECT_FALSE(module.reading());
  HostPort again(module.portPath(), 115200);
  ASSERT_TRUE(again.write("v"));
  EXPECT_EQ(again.readUntil('\n'), "MultiISO 1.0\r\n");
}

TEST_F(AsciiModuleTest, PresentedTagIsReportedWhileReading) {
  ASSERT_TRUE(host.write("s"));
  ASSERT_TRUE(module.waitForFrames(1, kTimeout));
  EXPECT_TRUE(module.reading());
  module.presentTag("M04A1B2C3");
  EXPECT_EQ(host.readUntil('\n'), "M04A1B2C3\r\n");
  EXPECT_FALSE(module.reading());
  EXPECT_EQ(exchange("s"), "M04A1B2C3\r\n");  // still in the field
  module.removeTag();
  ASSERT_TRUE(host.write("s"));
  EXPECT_EQ(exchange("v"), "MultiISO 1.0\r\n");
}

TEST(AsciiModule, OldModuleReadsBlocksWithThreeCharacterCommands) {
  AsciiModule::Options options;
  options.version = AsciiModule::Version::Iso09v;
  AsciiModule module(options);
  HostPort host(module.portPath(), 9600);
  ASSERT_TRUE(host.write("v"));
  EXPECT_EQ(host.readUntil('\n'), "ISO 0.9v\r\n");
  // "rb0" is block 0xB0 on this module, complete at its third character.
  ASSERT_TRUE(host.write("rb0r0a"));
  EXPECT_EQ(host.readUntil('\n'), "N\r\n");
  EXPECT_EQ(host.readUntil('\n'), "N\r\n");
  EXPECT_EQ(module.commands(), (std::vector<std::string>{"v", "rb0", "r0a"}));
}

TEST(AsciiModule, StartSpeedAndAnswerAreConfigurable) {
  AsciiModule::Options options;
  options.versionLine = "MultiISO 1.0 (rev B)";
  options.startSpeed = 57600;
  options.speedChangeAnswer = AsciiModule::SpeedChangeAnswer::Refuse;
  AsciiModule module(options);
  HostPort host(module.portPath(), 57600);
  ASSERT_TRUE(host.write("vwp0C03"));
  EXPECT_EQ(host.readUntil('\n'), "MultiISO 1.0 (rev B)\r\n");
  EXPECT_EQ(host.readUntil('\n'), "R\r\n");
}

}  // namespace
}  // namespace readersim
