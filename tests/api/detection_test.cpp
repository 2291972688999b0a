// Detection through the exported API against simulated terminals: every
// device kind on both routes, and the link speed each one ends up at, as the
// devices saw it on the wire.
#include <3100XE_DLL.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "support/test_terminal.h"

using namespace testing_support;
using readersim::TerminalConfig;

namespace {

class DetectionTest : public ::testing::Test {
 protected:
  void SetUp() override { clearReaderEnvironment(); }
  void TearDown() override { HaltReader(READER_DEVICE_ALL); }

  std::unique_ptr<readersim::Terminal> terminal_;
};

std::vector<std::uint8_t> withChecksum(std::vector<std::uint8_t> packet) {
  const auto sum = readersim::ssi::checksum(packet);
  packet.insert(packet.end(), sum.begin(), sum.end());
  return packet;
}

std::vector<std::string> moduleCommands(const readersim::PtyDevice &device) {
  std::vector<std::string> texts;
  for (const ReceivedFrame &frame : receivedFrames(device))
    if (!frame.garbled) texts.push_back(frame.text());
  return texts;
}

int countGarbled(const readersim::PtyDevice &device) {
  const auto frames = receivedFrames(device);
  return static_cast<int>(
      std::count_if(frames.begin(), frames.end(), [](const ReceivedFrame &f) { return f.garbled; }));
}

}  // namespace

TEST_F(DetectionTest, TextEngineIsAskedForItsVersionAndBlockAt115200) {
  terminal_ = startTerminal(quickConfig(2, 0));
  ASSERT_EQ(InitReader(), READER_OK);
  EXPECT_EQ(GetReaderType(), READER_TYPE_TEXT_ENGINE);
  EXPECT_EQ(GetActiveDevice(), READER_DEVICE_BARCODE);

  const auto frames = receivedFrames(*terminal_->engine());
  ASSERT_EQ(frames.size(), 2u);
  // 30 wake-up bytes, ESC, the command, CR.
  std::vector<std::uint8_t> expected(30, 0xFF);
  expected.push_back(0x1B);
  for (char c : std::string("VER")) expected.push_back(static_cast<std::uint8_t>(c));
  expected.push_back(0x0D);
  EXPECT_EQ(frames[0].bytes, expected);
  EXPECT_EQ(frames[0].hostSpeed, 115200);
  EXPECT_EQ(textEngineCommand(frames[1]), "SET");
}

TEST_F(DetectionTest, SsiEngineAlreadyAtItsSpeedGetsTheFirstParameterSetUp) {
  terminal_ = startTerminal(quickConfig(3, 0));
  ASSERT_EQ(InitReader(), READER_OK);
  EXPECT_EQ(GetReaderType(), READER_TYPE_SSI_ENGINE_3);

  const auto frames = receivedFrames(*terminal_->engine());
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].bytes, withChecksum({0x04, 0xA3, 0x04, 0x00}));
  EXPECT_EQ(frames[1].bytes, withChecksum({17, 0xC6, 0x04, 0x08, 0xFF, 0x8A, 0x08, 0xEC, 0x00, 0xEE, 0x01, 0x9B, 0x14,
                                           0x88, 0x1E, 0x9F, 0x01}));
  EXPECT_EQ(frames[1].hostSpeed, 115200);
}

TEST_F(DetectionTest, SsiEngineSittingAt9600IsMovedToItsWorkingSpeed) {
  TerminalConfig config = quickConfig(3, 0);
  config.ssiEngine.startSpeed = 9600;
  terminal_ = startTerminal(config);
  ASSERT_EQ(InitReader(), READER_OK);
  EXPECT_EQ(GetReaderType(), READER_TYPE_SSI_ENGINE_3);

  readersim::PtyDevice &engine = *terminal_->engine();
  EXPECT_EQ(engine.speed(), 115200);
  const auto frames = receivedFrames(engine);
  // Five revision requests the engine could not hear at 115200, then the
  // request at 9600, the speed change to code 11, and the set-up at 115200.
  EXPECT_EQ(countGarbled(engine), 5);
  std::vector<ReceivedFrame> heard;
  std::copy_if(frames.begin(), frames.end(), std::back_inserter(heard),
               [](const ReceivedFrame &f) { return !f.garbled; });
  ASSERT_EQ(heard.size(), 3u);
  EXPECT_EQ(ssiOpcode(heard[0]), 0xA3);
  EXPECT_EQ(heard[0].hostSpeed, 9600);
  EXPECT_EQ(heard[1].bytes, withChecksum({0x07, 0xC6, 0x04, 0x08, 0xFF, 0x9C, 11}));
  EXPECT_EQ(heard[1].hostSpeed, 9600);
  EXPECT_EQ(ssiOpcode(heard[2]), 0xC6);
  EXPECT_EQ(heard[2].hostSpeed, 115200);
}

TEST_F(DetectionTest, VariantFourEngineIsMovedTo38400AndGetsItsExtraParameter) {
  TerminalConfig config = quickConfig(4, 0);
  config.ssiEngine.startSpeed = 9600;
  terminal_ = startTerminal(config);
  ASSERT_EQ(InitReader(), READER_OK);
  EXPECT_EQ(GetReaderType(), READER_TYPE_SSI_ENGINE_4);
  EXPECT_EQ(terminal_->engine()->speed(), 38400);
  const auto frames = receivedFrames(*terminal_->engine());
  ASSERT_FALSE(frames.empty());
  EXPECT_EQ(frames.back().bytes, withChecksum({19, 0xC6, 0x04, 0x08, 0xFF, 0x8A, 0x08, 0xEC, 0x00, 0xEE, 0x01, 0x9B,
                                               0x14, 0x88, 0x1E, 0x9F, 0x01, 0xED, 0x00}));
  EXPECT_EQ(frames.back().hostSpeed, 38400);
}

TEST_F(DetectionTest, RevisionAnswerDecidesTheVariantButTheSpeedFollowsTheHardwareText) {
  // The hardware text says variant 4; the engine answers with 'P' (variant 3).
  TerminalConfig config = quickConfig(4, 0);
  config.ssiEngine.startSpeed = 9600;
  config.ssiEngine.variantByte = 'P';
  terminal_ = startTerminal(config);
  ASSERT_EQ(InitReader(), READER_OK);
  EXPECT_EQ(GetReaderType(), READER_TYPE_SSI_ENGINE_3);
  EXPECT_EQ(terminal_->engine()->speed(), 38400);
  const auto frames = receivedFrames(*terminal_->engine());
  ASSERT_FALSE(frames.empty());
  EXPECT_EQ(frames.back().bytes.front(), 17);  // the variant-3 set-up
}

TEST_F(DetectionTest, AsciiModuleIsMovedTo57600AndSetUpWithItsPortClosedAfterwards) {
  TerminalConfig config = quickConfig(0, 5);
  config.asciiModule.startSpeed = 9600;
  terminal_ = startTerminal(config);  // model HLM3200XE: the ASCII module
  ASSERT_EQ(InitReader(), READER_OK);
  EXPECT_EQ(GetReaderType(), READER_TYPE_ASCII_MODULE);

  readersim::PtyDevice &module = *terminal_->module();
  EXPECT_EQ(module.speed(), 57600);
  EXPECT_EQ(countGarbled(module), 3);  // "v" three times at 57600
  std::vector<std::string> expected = {"v", "wp0C03", "v", "wp0B08", "wp0E7F"};
  for (int p = 0x0A; p <= 0x1F; ++p) {
    char command[8];
    std::snprintf(command, sizeof command, "rp%02x", p);
    expected.push_back(command);
  }
  EXPECT_EQ(moduleCommands(module), expected);
  // Its port is open only while it scans: closed after the set-up.
  EXPECT_TRUE(module.log().waitFor(
      [](const std::vector<readersim::TrafficRecord> &records) {
        return !records.empty() && records.back().type == readersim::RecordType::HostClosed;
      },
      kPatience));
}

TEST_F(DetectionTest, AsciiModuleRefusingTheSpeedChangeStaysAt9600) {
  for (auto answer :
       {readersim::AsciiModule::SpeedChangeAnswer::Fail, readersim::AsciiModule::SpeedChangeAnswer::Refuse}) {
    TerminalConfig config = quickConfig(0, 5);
    config.asciiModule.startSpeed = 9600;
    config.asciiModule.speedChangeAnswer = answer;
    terminal_ = startTerminal(config);
    ASSERT_EQ(InitReader(), READER_OK);
    EXPECT_EQ(GetReaderType(), READER_TYPE_ASCII_MODULE);
    readersim::PtyDevice &module = *terminal_->module();
    EXPECT_EQ(module.speed(), 9600);
    const auto frames = receivedFrames(module);
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.back().text(), "rp1f");
    EXPECT_EQ(frames.back().hostSpeed, 9600);
    HaltReader(READER_DEVICE_ALL);
  }
}

TEST_F(DetectionTest, FirstModelNeverTriesTheAsciiModule) {
  terminal_ = startTerminal(quickConfig(0, 6));  // model HLM3100XE
  ASSERT_EQ(InitReader(), READER_OK);
  EXPECT_EQ(GetReaderType(), READER_TYPE_HEX_MODULE);
  EXPECT_EQ(moduleCommands(*terminal_->module()),
            (std::vector<std::string>{"0108000304FE0000", "0109000304F0000000", "0109000304F1FF0000"}));
  EXPECT_EQ(countGarbled(*terminal_->module()), 0);
}

TEST_F(DetectionTest, UnknownModelTriesTheAsciiModuleFirst) {
  TerminalConfig config = quickConfig(0, 6);
  config.model = readersim::IdentityText::unset();
  terminal_ = startTerminal(config);
  ASSERT_EQ(InitReader(), READER_OK);
  EXPECT_EQ(GetReaderType(), READER_TYPE_HEX_MODULE);
  // "v" at 57600 and at 9600, three times each, unheard by a 115200 module.
  EXPECT_EQ(countGarbled(*terminal_->module()), 6);
  EXPECT_EQ(moduleCommands(*terminal_->module()).front(), "0108000304FE0000");
}

TEST_F(DetectionTest, HardwareTextWithoutAnEngineLeavesTheBarcodeSideOut) {
  TerminalConfig config = quickConfig(2, 6);
  config.hardwareInfo = readersim::IdentityText::given("0-1");
  terminal_ = startTerminal(config);
  ASSERT_EQ(InitReader(), READER_OK);
  EXPECT_EQ(GetReaderType(), READER_TYPE_HEX_MODULE);
  EXPECT_TRUE(receivedFrames(*terminal_->engine()).empty());
}

TEST_F(DetectionTest, ProbingRouteTriesTheTextEngineFirstThenTheSsiKinds) {
  terminal_ = startTerminal(quickConfig(3, 0));
  ASSERT_EQ(InitReaderEx(), READER_OK);
  EXPECT_EQ(GetReaderType(), READER_TYPE_SSI_ENGINE_3);
  // The text engine's "VER" frame comes first; it is noise to an SSI engine
  // and never answered. Then the revision request at the working speed.
  const auto records = terminal_->engine()->log().snapshot();
  const auto firstReceived = std::find_if(records.begin(), records.end(), [](const readersim::TrafficRecord &r) {
    return r.type == readersim::RecordType::FromHost;
  });
  ASSERT_NE(firstReceived, records.end());
  EXPECT_EQ(firstReceived->bytes.front(), 0xFF);
  const auto frames = receivedFrames(*terminal_->engine());
  ASSERT_FALSE(frames.empty());
  EXPECT_EQ(ssiOpcode(frames.front()), 0xA3);
  EXPECT_EQ(frames.front().hostSpeed, 115200);
}

TEST_F(DetectionTest, ProbingRouteFindsTheModuleByRequestOfItsModel) {
  terminal_ = startTerminal(quickConfig(0, 6));
  ASSERT_EQ(InitReaderEx(), READER_OK);
  EXPECT_EQ(GetReaderType(), READER_TYPE_HEX_MODULE);
  EXPECT_EQ(GetActiveDevice(), READER_DEVICE_RFID);
}
