#include "readersim/hex_module.h"

#include <gtest/gtest.h>

#include "host_port.h"

namespace readersim {
namespace {

using testing::HostPort;
using testing::kTimeout;

class HexModuleTest : public ::testing::Test {
 protected:
  std::string exchange(std::string_view frame) {
    EXPECT_TRUE(host.write(frame));
    return host.readUntil('\n');
  }

  HexModule module;
  HostPort host{module.portPath(), 115200};
};

TEST_F(HexModuleTest, AnswersProbeAndSetUpFramesWithBracketedFields) {
  EXPECT_EQ(exchange(HexModule::kProbeFrame), "[0210][HF-RDR 2.10]\r\n");
  EXPECT_EQ(exchange(HexModule::kSetupFrame1), "[00]\r\n");
  EXPECT_EQ(exchange(HexModule::kSetupFrame2), "[00]\r\n");
  EXPECT_EQ(module.frames(), (std::vector<std::string>{std::string(HexModule::kProbeFrame),
                                                       std::string(HexModule::kSetupFrame1),
                                                       std::string(HexModule::kSetupFrame2)}));
}

TEST_F(HexModuleTest, RemembersTheSelectedProtocol) {
  EXPECT_EQ(module.selectedProtocol(), HexModule::Protocol::None);
  const std::pair<std::string_view, HexModule::Protocol> selects[] = {
      {HexModule::kSelectIso14443A, HexModule::Protocol::Iso14443A},
      {HexModule::kSelectIso14443B, HexModule::Protocol::Iso14443B},
      {HexModule::kSelectTagIt, HexModule::Protocol::TagIt},
      {HexModule::kSelectIso15693, HexModule::Protocol::Iso15693},
  };
  for (const auto &[frame, protocol] : selects) {
    EXPECT_EQ(exchange(frame), "[00]\r\n");
    EXPECT_EQ(module.selectedProtocol(), protocol);
  }
}

TEST_F(HexModuleTest, FramesByTheLengthFieldAndResynchronisesOnGarbage) {
  // Two frames in one write, lower-case digits, then garbage before a frame.
  ASSERT_TRUE(host.write(std::string(HexModule::kSetupFrame1) + "0108000304fe0000"));
  EXPECT_EQ(host.readUntil('\n'), "[00]\r\n");
  EXPECT_EQ(host.readUntil('\n'), "[0210][HF-RDR 2.10]\r\n");
  EXPECT_EQ(exchange("zz0102" + std::string(HexModule::kProbeFrame)), "[0210][HF-RDR 2.10]\r\n");
  auto records = module.log().snapshot();
  auto malformed = std::find_if(records.begin(), records.end(),
                                [](const TrafficRecord &r) { return r.has(traffic_flag::kMalformed); });
  ASSERT_NE(malformed, records.end());
  EXPECT_EQ(malformed->text(), "zz0102");
  EXPECT_EQ(module.frames().back(), HexModule::kProbeFrame);
}

TEST_F(HexModuleTest, AFrameSplitAcrossWritesIsOneFrame) {
  std::string frame(HexModule::kSelectTagIt);
  ASSERT_TRUE(host.write(frame.substr(0, 3)));
  ASSERT_TRUE(host.write(frame.substr(3)));
  EXPECT_EQ(host.readUntil('\n'), "[00]\r\n");
  EXPECT_EQ(module.frames(), (std::vector<std::string>{frame}));
}

TEST_F(HexModuleTest, ACutFrameIsGivenUpAfterSilence) {
  ASSERT_TRUE(host.write(HexModule::kSetupFrame1.substr(0, 10)));
  ASSERT_TRUE(module.log().waitForCount([](const TrafficRecord &r) { return r.has(traffic_flag::kIncomplete); }, 1,
                                        kTimeout));
  EXPECT_EQ(exchange(HexModule::kProbeFrame), "[0210][HF-RDR 2.10]\r\n");
  EXPECT_EQ(module.frames(), (std::vector<std::string>{std::string(HexModule::kProbeFrame)}));
}

TEST_F(HexModuleTest, StaysSilentToOneGivenFrameOnly) {
  module.silenceFrame(HexModule::kSetupFrame2, 1);
  ASSERT_TRUE(host.write(HexModule::kSetupFrame1));
  EXPECT_EQ(host.readUntil('\n'), "[00]\r\n");
  ASSERT_TRUE(host.write(HexModule::kSetupFrame2));
  EXPECT_EQ(exchange(HexModule::kProbeFrame), "[0210][HF-RDR 2.10]\r\n");
  EXPECT_EQ(exchange(HexModule::kSetupFrame2), "[00]\r\n");  // silence used up

  module.silenceNext(2);
  ASSERT_TRUE(host.write(HexModule::kProbeFrame));
  ASSERT_TRUE(host.write(HexModule::kSetupFrame1));
  EXPECT_EQ(exchange(HexModule::kSelectIso15693), "[00]\r\n");
}

TEST_F(HexModuleTest, DetectionFindsOnlyAPresentedTagOfItsProtocol) {
  EXPECT_EQ(exchange(HexModule::kDetectIso15693), "[]\r\n");
  module.presentTag(HexModule::Protocol::Iso15693, "[,][000123456789ABCDEF01,]");
  EXPECT_EQ(exchange(HexModule::kDetectIso14443A), "[]\r\n");
  EXPECT_EQ(exchange(HexModule::kDetectIso15693), "[,][000123456789ABCDEF01,]\r\n");
  module.removeTag();
  EXPECT_EQ(exchange(HexModule::kDetectIso15693), "[]\r\n");
}

}  // namespace
}  // namespace readersim
