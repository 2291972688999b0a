// The RFID module of kind 6: hexadecimal frames with a length field,
// answers of bracketed fields.
#include "readersim/hex_module.h"

#include <gtest/gtest.h>

#include "host_port.h"

namespace readersim {
namespace {

TEST(HexModule, FramesByTheLengthFieldAndStaysSilentOnDemand) {
  HexModule module;
  testing::HostPort host(module.portPath(), 115200);
  const std::string probe(HexModule::kProbeFrame), setup1(HexModule::kSetupFrame1), setup2(HexModule::kSetupFrame2);
  const std::string probeAnswer = "[0210][HF-RDR 2.10]\r\n";
  // Two frames in one write (lower-case digits in the second), then garbage
  // and a frame split across two writes.
  ASSERT_TRUE(host.write(setup1 + "0108000304fe0000"));
  EXPECT_EQ(host.readUntil('\n'), "[00]\r\n");
  EXPECT_EQ(host.readUntil('\n'), probeAnswer);
  ASSERT_TRUE(host.write("zz0102" + probe.substr(0, 5)));
  ASSERT_TRUE(host.write(probe.substr(5)));
  EXPECT_EQ(host.readUntil('\n'), probeAnswer);
  EXPECT_EQ(module.frames(), (std::vector<std::string>{setup1, probe, probe}));

  module.silenceFrame(setup2, 1);
  ASSERT_TRUE(host.write(setup2));
  ASSERT_TRUE(host.write(probe));
  EXPECT_EQ(host.readUntil('\n'), probeAnswer);  // the first answer is the probe's
  ASSERT_TRUE(host.write(setup2));
  EXPECT_EQ(host.readUntil('\n'), "[00]\r\n");  // that silence is used up
  module.silenceNext(1);
  ASSERT_TRUE(host.write(probe));
  ASSERT_TRUE(host.write(setup1));
  EXPECT_EQ(host.readUntil('\n'), "[00]\r\n");
}

TEST(HexModule, RawDetectionAnswerStandsInForTheFieldOfItsProtocolWhateverIsSelected) {
  HexModule module;
  testing::HostPort host(module.portPath(), 115200);
  auto detect = [&](std::string_view frame) {
    EXPECT_TRUE(host.write(frame));
    return host.readUntil('\n');
  };
  module.presentTag(HexModule::Protocol::Iso15693, "[,][000123456789ABCDEF01,]");
  EXPECT_EQ(detect(HexModule::kDetectIso14443A), "\r\n");
  EXPECT_EQ(detect(HexModule::kDetectIso15693), "[,][000123456789ABCDEF01,]\r\n");
  module.removeTag();
  std::string emptySlots;
  for (int slot = 0; slot < 16; ++slot) emptySlots += "[,]";
  EXPECT_EQ(detect(HexModule::kDetectIso15693), emptySlots + "\r\n");
}

}  // namespace
}  // namespace readersim
