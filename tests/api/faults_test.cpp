// Devices that misbehave during the start: refusals, garbage, a device that
// disappears mid-exchange. The start reports the failure and never hangs.
#include <3100XE_DLL.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <future>

#include "support/test_terminal.h"

using namespace testing_support;
using readersim::TerminalConfig;

namespace {

class FaultsTest : public ::testing::Test {
 protected:
  void SetUp() override { clearReaderEnvironment(); }
  void TearDown() override { HaltReader(READER_DEVICE_ALL); }
  std::unique_ptr<readersim::Terminal> terminal_;
};

}  // namespace

TEST_F(FaultsTest, EngineVanishingWhileAskedForItsVersionFailsTheEngineOnly) {
  terminal_ = startTerminal(quickConfig(2, 6));
  readersim::PtyDevice &engine = *terminal_->engine();
  engine.setSilent(true);
  auto start = std::async(std::launch::async, [] { return InitReader(); });
  ASSERT_TRUE(engine.waitForFrames(1, kPatience));
  engine.vanish();
  ASSERT_EQ(start.wait_for(kPatience), std::future_status::ready);
  EXPECT_EQ(start.get(), READER_ERR_BARCODE_FAILED);
  EXPECT_EQ(GetReaderType(), READER_TYPE_HEX_MODULE);
}

TEST_F(FaultsTest, EngineRefusingEveryCommandIsNotTakenForAnEngine) {
  terminal_ = startTerminal(quickConfig(2, 6));
  terminal_->textEngine()->setRefuseAll(true);
  EXPECT_EQ(InitReader(), READER_ERR_BARCODE_FAILED);
  EXPECT_EQ(GetReaderType(), READER_TYPE_HEX_MODULE);
}

TEST_F(FaultsTest, ModuleAnsweringGarbageToTheVersionQueryIsNotIdentified) {
  TerminalConfig config = quickConfig(2, 5);
  config.asciiModule.versionLine = std::string(
      "\x01\x7f"
      "garbage\xff",
      11);
  terminal_ = startTerminal(config);
  EXPECT_EQ(InitReader(), READER_ERR_RFID_FAILED);
  EXPECT_EQ(GetReaderType(), READER_TYPE_TEXT_ENGINE);
}

TEST_F(FaultsTest, SsiEngineNakingItsFirstAnswersIsRetried) {
  terminal_ = startTerminal(quickConfig(3, 0));
  terminal_->ssiEngine()->nakNext(4);  // four of the five attempts
  EXPECT_EQ(InitReader(), READER_OK);
  EXPECT_EQ(GetReaderType(), READER_TYPE_SSI_ENGINE_3);
  // Five revision requests (four refused), then the set-up.
  const auto packets = terminal_->ssiEngine()->packetsReceived();
  ASSERT_EQ(packets.size(), 6u);
  EXPECT_EQ(packets[4].opcode, 0xA3);
  EXPECT_EQ(packets[5].opcode, 0xC6);
}

TEST_F(FaultsTest, AFittedModuleWhosePortIsGoneHasFailed) {
  // The hardware text says a module is fitted; its port cannot be opened.
  // That is a failed module, not an absent one, and the engine works on.
  // (A vanished pseudo-terminal's path may soon name another process's
  // terminal, so the port is named by a path that cannot exist.)
  terminal_ = startTerminal(quickConfig(2, 6));
  setenv("READER_COM2", "/dev/reader-test-no-such-port", 1);
  auto start = std::async(std::launch::async, [] { return InitReader(); });
  ASSERT_EQ(start.wait_for(kPatience), std::future_status::ready);
  EXPECT_EQ(start.get(), READER_ERR_RFID_FAILED);
  EXPECT_EQ(GetReaderType(), READER_TYPE_TEXT_ENGINE);
  EXPECT_EQ(GetActiveDevice(), READER_DEVICE_BARCODE);
}
