// The RFID module of kind 5: one-letter text commands, answers ending in CR LF.
#include "readersim/ascii_module.h"

#include <gtest/gtest.h>

#include "host_port.h"

namespace readersim {
namespace {

TEST(AsciiModule, CommandsOfKnownLengthNeedNoPause) {
  AsciiModule module;
  testing::HostPort host(module.portPath(), 9600);
  ASSERT_TRUE(host.write("vrp0arp0b"));  // told apart by their grammar
  EXPECT_EQ(host.readUntil('\n'), "MultiISO 1.0\r\n");
  EXPECT_EQ(host.readUntil('\n'), "01\r\n");
  EXPECT_EQ(host.readUntil('\n'), "00\r\n");
}

TEST(AsciiModule, SpeedWriteIsRefusedOnDemandOrEchoedAtTheOldSpeedBeforeTheMove) {
  AsciiModule module;  // 9600
  testing::HostPort host(module.portPath(), 9600);
  auto exchange = [&](std::string_view command) {
    EXPECT_TRUE(host.write(command));
    return host.readUntil('\n');
  };
  module.setSpeedChangeAnswer(AsciiModule::SpeedChangeAnswer::Fail);
  EXPECT_EQ(exchange("wp0C03"), "F\r\n");
  module.setSpeedChangeAnswer(AsciiModule::SpeedChangeAnswer::Refuse);
  EXPECT_EQ(exchange("wp0C03"), "R\r\n");
  module.setSpeedChangeAnswer(AsciiModule::SpeedChangeAnswer::Accept);
  EXPECT_EQ(exchange("wp0C09"), "R\r\n");  // no such speed
  EXPECT_EQ(exchange("rp0c"), "00\r\n");
  EXPECT_EQ(module.speed(), 9600);

  EXPECT_EQ(exchange("wp0C03"), "03\r\n");
  ASSERT_TRUE(module.log().waitForCount([](const TrafficRecord &r) { return r.type == RecordType::SpeedChanged; }, 1,
                                        testing::kTimeout));
  EXPECT_EQ(module.speed(), 57600);
  host.setSpeed(57600);
  EXPECT_EQ(exchange("rp0c"), "03\r\n");
}

}  // namespace
}  // namespace readersim
